// SPDX-License-Identifier: BSD-2-Clause
#include "qt/CorrectionsPane.h"

#include <QGridLayout>
#include <QLabel>
#include <QShowEvent>
#include <QTimer>

#include "app/CorrectionsController.h"

namespace qtplatform {

namespace {

// Legible on the light and the dark palette alike.
const QColor kWarningColour(214, 137, 16);

QLabel* plainLabel(QWidget* parent)
{
    auto* label = new QLabel(parent);
    // Casters' texts (mountpoint names, refusals) go in as they are: never as markup.
    label->setTextFormat(Qt::PlainText);
    return label;
}

}  // namespace

CorrectionsPane::CorrectionsPane(CorrectionsController& controller, StateSource state, QWidget* parent)
    : QWidget(parent), m_controller(controller), m_state(std::move(state))
{
    m_grid = new QGridLayout(this);
    m_grid->setContentsMargins(4, 6, 4, 4);
    m_grid->setHorizontalSpacing(14);
    m_grid->setVerticalSpacing(4);
    m_grid->setColumnStretch(1, 1);

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

CorrectionsPane::Line& CorrectionsPane::line(std::size_t index)
{
    while (m_lines.size() <= index) {
        Line added{plainLabel(this), plainLabel(this)};
        added.label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        added.value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        added.value->setWordWrap(true);
        const int row = static_cast<int>(m_lines.size());
        m_grid->addWidget(added.label, row, 0);
        m_grid->addWidget(added.value, row, 1);
        m_lines.push_back(added);
    }
    return m_lines[index];
}

void CorrectionsPane::refresh()
{
    if (const ReceiverState* state = m_state ? m_state() : nullptr) m_controller.observe(*state);
    std::vector<CorrectionsRow> rows = CorrectionsStatusText::rows(m_controller.status());
    if (rows == m_shown) return;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        Line& shown = line(i);
        shown.label->setText(QString::fromStdString(rows[i].label));
        shown.value->setText(QString::fromStdString(rows[i].value));
        QPalette colours = palette();
        QFont font = this->font();
        if (rows[i].warning) {
            colours.setColor(QPalette::WindowText, kWarningColour);
            font.setBold(true);
        }
        shown.value->setPalette(colours);
        shown.value->setFont(font);
        shown.label->show();
        shown.value->show();
    }
    for (std::size_t i = rows.size(); i < m_lines.size(); ++i) {
        m_lines[i].label->hide();
        m_lines[i].value->hide();
    }
    m_grid->setRowStretch(static_cast<int>(m_lines.size()), 1);
    m_shown = std::move(rows);
}

QLabel* CorrectionsPane::valueLabel(const std::string& key) const
{
    for (std::size_t i = 0; i < m_shown.size(); ++i)
        if (m_shown[i].key == key) return m_lines[i].value;
    return nullptr;
}

}  // namespace qtplatform
