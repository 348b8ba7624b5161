// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <QTimer>
#include <QWidget>

class QComboBox;
class QPushButton;
class QSlider;

namespace sim {
class Simulator;
}

namespace qtplatform {

// The controls of a replay: pause, a position slider and the speed (1×, 4×, 16×, as fast as
// possible). Drives the simulated receiver that plays the log; the slider follows the
// replay four times a second unless the user holds it. The simulator is not owned and
// must outlive the controls.
class ReplayControls : public QWidget {
    Q_OBJECT
public:
    ReplayControls(sim::Simulator& simulator, QWidget* parent = nullptr);

    QPushButton* pauseButton() const { return m_pause; }
    QSlider* slider() const { return m_slider; }
    QComboBox* speedBox() const { return m_speed; }

private:
    void follow();

    sim::Simulator& m_simulator;
    QPushButton* m_pause;
    QSlider* m_slider;
    QComboBox* m_speed;
    QTimer m_timer;
};

}  // namespace qtplatform
