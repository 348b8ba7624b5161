// SPDX-License-Identifier: BSD-2-Clause
#include "qt/ReceiverHealthPane.h"

#include <QGridLayout>
#include <QLabel>
#include <QShowEvent>
#include <QTimer>

namespace qtplatform {

namespace {

// Legible on the light and the dark palette alike.
const QColor kWarningColour(214, 137, 16);
const QColor kCriticalColour(220, 50, 47);

QLabel* plainLabel(QWidget* parent)
{
    auto* label = new QLabel(parent);
    // The receiver's texts go in as they are: never as markup.
    label->setTextFormat(Qt::PlainText);
    return label;
}

}  // namespace

ReceiverHealthPane::ReceiverHealthPane(Source source, QWidget* parent)
    : QWidget(parent), m_source(std::move(source))
{
    m_grid = new QGridLayout(this);
    m_grid->setContentsMargins(4, 6, 4, 4);
    m_grid->setHorizontalSpacing(14);
    m_grid->setVerticalSpacing(4);
    m_grid->setColumnStretch(1, 1);

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

ReceiverHealthPane::Line& ReceiverHealthPane::line(std::size_t index)
{
    while (m_lines.size() <= index) {
        Line added{plainLabel(this), plainLabel(this)};
        added.label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        // Versions and states are worth copying into a bug report.
        added.value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        const int row = static_cast<int>(m_lines.size());
        m_grid->addWidget(added.label, row, 0);
        m_grid->addWidget(added.value, row, 1);
        m_grid->setRowStretch(row, 0);
        m_lines.push_back(added);
    }
    return m_lines[index];
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
        Line& shown = line(i);
        shown.label->setText(QString::fromStdString(rows[i].label));
        shown.value->setText(QString::fromStdString(rows[i].value));
        // Only the receiver's free list can grow long; the other values keep to one line.
        shown.value->setWordWrap(rows[i].key == "health.details");
        style(shown.value, rows[i].level);
        shown.label->show();
        shown.value->show();
    }
    for (std::size_t i = rows.size(); i < m_lines.size(); ++i) {
        m_lines[i].label->hide();
        m_lines[i].value->hide();
    }
    // The rows keep to the top; a taller pane leaves its room below them.
    m_grid->setRowStretch(static_cast<int>(m_lines.size()), 1);
    m_shown = std::move(rows);
}

QLabel* ReceiverHealthPane::valueLabel(const std::string& key) const
{
    for (std::size_t i = 0; i < m_shown.size(); ++i)
        if (m_shown[i].key == key) return m_lines[i].value;
    return nullptr;
}

}  // namespace qtplatform
