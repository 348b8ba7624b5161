// SPDX-License-Identifier: BSD-2-Clause
#include "qt/ReplayControls.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSlider>

#include "platform/Alert.h"
#include "sim/Simulator.h"

namespace qtplatform {

namespace {

constexpr int kSliderSteps = 1000;

QString text(const char* key)
{
    return QString::fromStdString(Alert::localizedStringWithKey(key));
}

}  // namespace

ReplayControls::ReplayControls(sim::Simulator& simulator, QWidget* parent)
    : QWidget(parent), m_simulator(simulator)
{
    auto* layout = new QHBoxLayout(this);
    m_pause = new QPushButton(text("ReplayPause"), this);
    m_slider = new QSlider(Qt::Horizontal, this);
    m_slider->setRange(0, kSliderSteps);
    m_speed = new QComboBox(this);
    for (const double factor : {1.0, 4.0, 16.0})
        m_speed->addItem(QStringLiteral("%1\u00d7").arg(factor), factor);
    m_speed->addItem(text("ReplaySpeedMax"), 0.0);
    // A factor from the command line that is not on the list joins it, in order, so the
    // box shows the pace that plays rather than the first entry.
    const double speed = simulator.replaySpeed();
    int current = m_speed->findData(speed);
    if (current < 0 && speed > 0.0) {
        current = 0;
        while (current < m_speed->count() - 1 && m_speed->itemData(current).toDouble() < speed) ++current;
        m_speed->insertItem(current, QStringLiteral("%1\u00d7").arg(speed), speed);
    }
    m_speed->setCurrentIndex(current >= 0 ? current : 0);
    layout->addWidget(m_pause);
    layout->addWidget(m_slider, 1);
    layout->addWidget(m_speed);

    connect(m_pause, &QPushButton::clicked, this, [this] {
        const bool pause = !m_simulator.replayPaused();
        m_simulator.setReplayPaused(pause);
        m_pause->setText(text(pause ? "ReplayPlay" : "ReplayPause"));
    });
    connect(m_slider, &QSlider::sliderReleased, this, [this] {
        m_simulator.seekReplay(static_cast<double>(m_slider->value()) / kSliderSteps);
    });
    connect(m_speed, &QComboBox::activated, this, [this](int index) {
        m_simulator.setReplaySpeed(m_speed->itemData(index).toDouble());
    });
    m_timer.setInterval(250);
    connect(&m_timer, &QTimer::timeout, this, [this] { follow(); });
    m_timer.start();
}

void ReplayControls::follow()
{
    if (m_slider->isSliderDown()) return;
    m_slider->setValue(static_cast<int>(m_simulator.replayPosition() * kSliderSteps));
}

}  // namespace qtplatform
