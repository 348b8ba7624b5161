// SPDX-License-Identifier: BSD-2-Clause
#include "qt/ReadoutPanel.h"

#include <algorithm>

#include <QPalette>
#include <QResizeEvent>

#include "qt/QtTextField.h"

namespace qtplatform {

namespace {

// Holds one read-out and gives it all its room, without a layout. A label asks its parent's
// layout to lay out again at every new text, and with it the whole window: several times a
// second for nothing, as a read-out's size comes from the window, never from its text.
class ReadoutHolder : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            child->setGeometry(QRect(QPoint(0, 0), event->size()));
    }
};

}  // namespace

platform::Font ReadoutPanel::fontForHeight(int height)
{
    return {platform::FontKind::BoldSystem, static_cast<float>(std::max(1, height - 8))};
}

QtTextField* ReadoutPanel::makeCaption(QWidget* parent, const QString& caption)
{
    auto* field = new QtTextField(parent);
    field->setText(caption);
    // Captions keep their small size when the window grows; the values take the room.
    field->setFixedHeight(kCaptionHeight);
    field->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    // Dimmed text of the desktop's palette, so captions stay legible on a dark theme.
    QPalette colours = field->palette();
    colours.setColor(QPalette::WindowText, colours.color(QPalette::PlaceholderText));
    field->setPalette(colours);
    field->setFont(fontForHeight(kCaptionHeight));
    return field;
}

QtTextField* ReadoutPanel::makeReadout(QWidget* parent)
{
    auto* holder = new ReadoutHolder(parent);
    holder->setMinimumSize(kReadoutWidth, kValueHeight);
    // The height comes from the window, and the text size from the height, never the other
    // way round.
    holder->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    auto* field = new QtTextField(holder);
    field->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    field->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // The desktop's text-entry colours, so a dark theme gets dark read-outs. A stale read-out
    // (disabled) needs its own rule: the colour above would hold for it too.
    field->setStyleSheet(QStringLiteral(
        "QLabel { background: palette(base); color: palette(text); border: 1px solid palette(mid);"
        " border-radius: 4px; padding: 0px 6px; }"
        " QLabel:disabled { color: palette(placeholder-text); }"));
    field->setFont(fontForHeight(kValueHeight));
    // Border and padding of the style sheet above, both sides.
    field->setShrinkToFit(true, 14);
    return field;
}

QWidget* ReadoutPanel::readoutHolder(QtTextField* readout)
{
    return readout->parentWidget();
}

}  // namespace qtplatform
