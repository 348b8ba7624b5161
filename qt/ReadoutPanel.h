// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <QSize>
#include <QString>
#include <QWidget>

#include "platform/Drawing.h"

namespace qtplatform {

class QtTextField;

// The read-outs' area: asks for the size its read-outs were laid out at, though it may be
// made smaller; and makes its captions and value fields.
class ReadoutPanel : public QWidget {
public:
    // Sizes in points (logical pixels). A read-out's text is sized from its field's height
    // by the window controller, so the heights set the look: captions small, values large.
    static constexpr int kCaptionHeight = 20;
    static constexpr int kValueHeight = 32;
    static constexpr int kReadoutWidth = 222;

    using QWidget::QWidget;
    void setFirstSize(QSize size) { m_firstSize = size; }
    QSize sizeHint() const override { return m_firstSize.isValid() ? m_firstSize : QWidget::sizeHint(); }

    static QtTextField* makeCaption(QWidget* parent, const QString& caption);
    // The value field comes inside a holder that fills it (readoutHolder()): the holder is
    // what goes into a layout and carries the minimum size.
    static QtTextField* makeReadout(QWidget* parent);
    static QWidget* readoutHolder(QtTextField* readout);

private:
    // What a field gets before the window controller sizes its text: the same rule (bold,
    // eight points less than the field is high), so the first frame already looks right.
    static platform::Font fontForHeight(int height);

    QSize m_firstSize;
};

}  // namespace qtplatform
