// SPDX-License-Identifier: BSD-2-Clause
#include "qt/StatusRows.h"

#include <QGridLayout>
#include <QLabel>
#include <QWidget>

#include "qt/SelectableOnHover.h"

namespace qtplatform {

namespace {

QLabel* plainLabel(QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

}  // namespace

StatusRows::StatusRows(QWidget* pane) : m_pane(pane), m_grid(new QGridLayout(pane))
{
    m_grid->setContentsMargins(4, 6, 4, 4);
    m_grid->setHorizontalSpacing(14);
    m_grid->setVerticalSpacing(4);
    m_grid->setColumnStretch(1, 1);
}

QLabel* StatusRows::show(std::size_t index, const QString& label, const QString& value)
{
    while (m_lines.size() <= index) {
        Line added{plainLabel(m_pane), plainLabel(m_pane)};
        added.label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        // Versions, states and refusals are worth copying into a bug report.
        selectableOnHover(added.value);
        const int row = static_cast<int>(m_lines.size());
        m_grid->addWidget(added.label, row, 0);
        m_grid->addWidget(added.value, row, 1);
        m_grid->setRowStretch(row, 0);
        m_lines.push_back(added);
    }
    Line& shown = m_lines[index];
    shown.label->setText(label);
    shown.value->setText(value);
    shown.label->show();
    shown.value->show();
    return shown.value;
}

void StatusRows::hideFrom(std::size_t count)
{
    for (std::size_t i = count; i < m_lines.size(); ++i) {
        m_lines[i].label->hide();
        m_lines[i].value->hide();
    }
    // The rows keep to the top; a taller pane leaves its room below them.
    m_grid->setRowStretch(static_cast<int>(m_lines.size()), 1);
}

}  // namespace qtplatform
