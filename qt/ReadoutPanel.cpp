// SPDX-License-Identifier: BSD-2-Clause
#include "qt/ReadoutPanel.h"

#include <algorithm>
#include <cmath>

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPalette>
#include <QResizeEvent>
#include <QVBoxLayout>

#include "platform/Alert.h"
#include "qt/MessageText.h"
#include "qt/QtButton.h"
#include "qt/QtTextField.h"
#include "qt/QtViewWidget.h"

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

constexpr int kCompassHeight = 24;
constexpr int kLampSize = 20;


}  // namespace

ReadoutPanel::ReadoutPanel(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 10, 14, 12);
    layout->setSpacing(8);

    auto* grid = new QGridLayout();
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(0);
    const struct {
        Readout readout;
        const char* captionKey;
        int row;
        int column;
    } places[] = {
        {Utc, "caption.utc", 0, 0},       {Latitude, "caption.latitude", 2, 0},
        {Longitude, "caption.longitude", 4, 0}, {Fix, "caption.fix", 0, 1},
        {Sog, "caption.speed", 2, 1},     {Cog, "caption.course", 4, 1},
    };
    for (const auto& place : places) {
        m_captions[place.readout] = makeCaption(this, text(place.captionKey));
        m_readouts[place.readout] = makeReadout(this);
        grid->addWidget(m_captions[place.readout], place.row, place.column);
        grid->addWidget(readoutHolder(m_readouts[place.readout]), place.row + 1, place.column);
    }
    // When the window grows, the values grow with it.
    for (int row = 1; row < 6; row += 2) grid->setRowStretch(row, 1);
    layout->addLayout(grid, 1);

    m_compassHost = new QtViewWidget(this);
    m_compassHost->setFixedHeight(kCompassHeight);
    m_compassHost->setToolTip(text("tooltip.compass"));
    layout->addSpacing(4);
    layout->addWidget(m_compassHost);

    auto* bottom = new QHBoxLayout();
    bottom->setSpacing(8);
    m_dataReadyHost = new QtViewWidget(this);
    m_dataReadyHost->setFixedSize(kLampSize, kLampSize);
    m_dataReadyHost->setToolTip(text("tooltip.lamp"));
    bottom->addWidget(m_dataReadyHost);
    bottom->addWidget(new QLabel(text("caption.data"), this));
    bottom->addStretch(1);
    m_satellitesButton = new QtButton(text("button.satellites"), this);
    m_settingsButton = new QtButton(text("button.settings"), this);
    m_monitorButton = new QtButton(text("button.monitor"), this);
    for (QtButton* button : {m_satellitesButton, m_settingsButton, m_monitorButton}) {
        button->setFocusPolicy(Qt::TabFocus);
        bottom->addWidget(button);
    }
    layout->addLayout(bottom);
}

void ReadoutPanel::settleFirstSize(double smallestShare)
{
    adjustSize();
    const QSize firstSize = sizeHint();
    m_firstSize = firstSize;
    for (QtTextField* field : m_readouts) {
        QWidget* holder = readoutHolder(field);
        holder->setMinimumSize(holder->minimumWidth() * 2 / 3, holder->minimumHeight() * 2 / 3);
    }
    const QSize tightest = layout()->minimumSize();
    const double scale = std::max({smallestShare, double(tightest.width()) / std::max(1, firstSize.width()),
                                   double(tightest.height()) / std::max(1, firstSize.height())});
    setMinimumSize(static_cast<int>(std::ceil(firstSize.width() * scale)),
                   static_cast<int>(std::ceil(firstSize.height() * scale)));
}

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
