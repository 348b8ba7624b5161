// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <QSize>
#include <array>
#include <QString>
#include <QWidget>

#include "platform/Drawing.h"

namespace qtplatform {

class QtButton;
class QtTextField;
class QtViewWidget;

// The read-outs' area: two columns of caption over value (where and when on the left, how on
// the right), the compass below them, then the data lamp with its caption and the buttons of
// the satellites, settings and monitor panes. Asks for the size its read-outs were first laid
// out at, though it may be made smaller.
class ReadoutPanel : public QWidget {
public:
    // Sizes in points (logical pixels). A read-out's text is sized from its field's height
    // by the window controller, so the heights set the look: captions small, values large.
    static constexpr int kCaptionHeight = 20;
    static constexpr int kValueHeight = 32;
    static constexpr int kReadoutWidth = 222;

    enum Readout { Utc, Latitude, Longitude, Cog, Sog, Fix, ReadoutCount };
    using Fields = std::array<QtTextField*, ReadoutCount>;

    explicit ReadoutPanel(QWidget* parent);
    QSize sizeHint() const override { return m_firstSize.isValid() ? m_firstSize : QWidget::sizeHint(); }
    // The size it is laid out at now becomes the one it asks for; it may then be made smaller,
    // down to smallestShare of that size with the same proportions (small screens).
    void settleFirstSize(double smallestShare);

    const Fields& captions() const { return m_captions; }
    const Fields& readouts() const { return m_readouts; }
    QtViewWidget* compassHost() const { return m_compassHost; }
    QtViewWidget* dataReadyHost() const { return m_dataReadyHost; }
    QtButton* satellitesButton() const { return m_satellitesButton; }
    QtButton* settingsButton() const { return m_settingsButton; }
    QtButton* monitorButton() const { return m_monitorButton; }

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
    Fields m_captions{};
    Fields m_readouts{};
    QtViewWidget* m_compassHost = nullptr;
    QtViewWidget* m_dataReadyHost = nullptr;
    QtButton* m_satellitesButton = nullptr;
    QtButton* m_settingsButton = nullptr;
    QtButton* m_monitorButton = nullptr;
};

}  // namespace qtplatform
