// SPDX-License-Identifier: BSD-2-Clause
#include "qt/PortSettingsPane.h"

#include <algorithm>

#include <QGridLayout>
#include <QLabel>

#include "qt/MessageText.h"
#include "qt/QtComboBox.h"

namespace qtplatform {

PortSettingsPane::PortSettingsPane(QWidget* parent)
    : QWidget(parent), m_type(new QtComboBox(this)), m_rate(new QtComboBox(this)),
      m_port(new QtComboBox(this)), m_units(new QtComboBox(this))
{
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(2, 0, 20, 0);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(3);
    // The receiver type is a choice of the window alone; no code reads it.
    m_type->addItemWithObjectValue("SiRF (NMEA 0183)");
    m_type->selectItemAtIndex(0);
    m_port->setMinimumContentsLength(14);
    m_type->setMinimumContentsLength(14);
    const struct {
        const char* titleKey;
        QtComboBox* box;
    } columns[] = {{"settings.receiver", m_type}, {"settings.rate", m_rate}, {"settings.port", m_port},
                   {"settings.units", m_units}};
    int column = 0;
    for (const auto& entry : columns) {
        grid->addWidget(new QLabel(text(entry.titleKey), this), 0,
                        column);
        grid->addWidget(entry.box, 1, column);
        entry.box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        entry.box->setMinimumContentsLength(std::max(8, entry.box->minimumContentsLength()));
        grid->setColumnStretch(column, entry.box == m_port ? 2 : 1);
        ++column;
    }
}

}  // namespace qtplatform
