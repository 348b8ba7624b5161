// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <QWidget>

namespace qtplatform {

class QtComboBox;

// The settings pane's row of choices, each under its caption: the receiver type, the line
// rate, the serial port and the units. The settings controller fills and reads them.
class PortSettingsPane : public QWidget {
public:
    explicit PortSettingsPane(QWidget* parent);

    QtComboBox* typeBox() const { return m_type; }
    QtComboBox* rateBox() const { return m_rate; }
    QtComboBox* portBox() const { return m_port; }
    QtComboBox* unitsBox() const { return m_units; }

private:
    QtComboBox* m_type;
    QtComboBox* m_rate;
    QtComboBox* m_port;
    QtComboBox* m_units;
};

}  // namespace qtplatform
