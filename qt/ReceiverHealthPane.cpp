// SPDX-License-Identifier: BSD-2-Clause
#include "qt/ReceiverHealthPane.h"

#include <QLabel>
#include <QShowEvent>
#include <QTimer>

namespace qtplatform {

namespace {

// Legible on the light and the dark palette alike.
const QColor kWarningColour(214, 137, 16);
const QColor kCriticalColour(220, 50, 47);

}  // namespace

ReceiverHealthPane::ReceiverHealthPane(Source source, QWidget* parent)
    : QWidget(parent), m_source(std::move(source)), m_rows(this)
{

    m_timer = new QTimer(this);
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, [this] {
        if (isVisible()) refresh();
    });
    m_timer->start();
    refresh();
}

void ReceiverHealthPane::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    refresh();
}

void ReceiverHealthPane::style(QLabel* value, HealthLevel level) const
{
    QPalette colours = palette();
    QFont font = this->font();
    switch (level) {
    case HealthLevel::Unknown:
        colours.setColor(QPalette::WindowText, colours.color(QPalette::PlaceholderText));
        font.setItalic(true);
        break;
    case HealthLevel::Warning:
        colours.setColor(QPalette::WindowText, kWarningColour);
        font.setBold(true);
        break;
    case HealthLevel::Critical:
        colours.setColor(QPalette::WindowText, kCriticalColour);
        font.setBold(true);
        break;
    case HealthLevel::Plain:
    case HealthLevel::Good: break;
    }
    value->setPalette(colours);
    value->setFont(font);
}

void ReceiverHealthPane::refresh()
{
    std::vector<ReceiverHealthRow> rows = ReceiverHealthText::rows(m_source ? m_source() : ReceiverHealth{});
    if (rows == m_shown) return;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        QLabel* value = m_rows.show(i, QString::fromStdString(rows[i].label), QString::fromStdString(rows[i].value));
        // Only the receiver's free list can grow long; the other values keep to one line.
        value->setWordWrap(rows[i].key == "health.details");
        style(value, rows[i].level);
    }
    m_rows.hideFrom(rows.size());
    m_shown = std::move(rows);
}

QLabel* ReceiverHealthPane::valueLabel(const std::string& key) const
{
    for (std::size_t i = 0; i < m_shown.size(); ++i)
        if (m_shown[i].key == key) return m_rows.value(i);
    return nullptr;
}

}  // namespace qtplatform
