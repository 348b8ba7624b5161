// SPDX-License-Identifier: BSD-2-Clause
#include "qt/CorrectionsPane.h"

#include <QLabel>
#include <QShowEvent>
#include <QTimer>

#include "app/CorrectionsController.h"

namespace qtplatform {

namespace {

// Legible on the light and the dark palette alike.
const QColor kWarningColour(214, 137, 16);

}  // namespace

CorrectionsPane::CorrectionsPane(CorrectionsController& controller, StateSource state, QWidget* parent)
    : QWidget(parent), m_controller(controller), m_state(std::move(state)), m_rows(this)
{

    m_timer = new QTimer(this);
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, [this] {
        // The caster needs the position whether or not anyone looks at the pane.
        if (const ReceiverState* state = m_state ? m_state() : nullptr) m_controller.observe(*state);
        if (isVisible()) refresh();
    });
    m_timer->start();
    refresh();
}

void CorrectionsPane::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    refresh();
}

void CorrectionsPane::refresh()
{
    if (const ReceiverState* state = m_state ? m_state() : nullptr) m_controller.observe(*state);
    std::vector<CorrectionsRow> rows = CorrectionsStatusText::rows(m_controller.status());
    if (rows == m_shown) return;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        QLabel* value = m_rows.show(i, QString::fromStdString(rows[i].label), QString::fromStdString(rows[i].value));
        value->setWordWrap(true);
        QPalette colours = palette();
        QFont font = this->font();
        if (rows[i].warning) {
            colours.setColor(QPalette::WindowText, kWarningColour);
            font.setBold(true);
        }
        value->setPalette(colours);
        value->setFont(font);
    }
    m_rows.hideFrom(rows.size());
    m_shown = std::move(rows);
}

QLabel* CorrectionsPane::valueLabel(const std::string& key) const
{
    for (std::size_t i = 0; i < m_shown.size(); ++i)
        if (m_shown[i].key == key) return m_rows.value(i);
    return nullptr;
}

}  // namespace qtplatform
