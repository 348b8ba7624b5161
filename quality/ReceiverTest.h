// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <optional>
#include <span>
#include <string>

#include "quality/AccuracyStatistics.h"
#include "quality/FirstFixTimer.h"
#include "quality/ObstructionMap.h"
#include "quality/SignalHistory.h"

// Everything the receiver test shows, fed from the receiver's updates: time to first fix,
// accuracy while standing still, signal history and the obstruction map. Times are seconds
// on one clock (only differences matter). Main thread only.
class ReceiverTest {
public:
    // A connection opened, or a restart command went out: a new time-to-first-fix run.
    void started(double now, RunStart why);
    // The connection closed.
    void stopped(double now);
    // Every verified sentence.
    void sentence(double now);
    // A position update: the fix (0 none, 2 or 3 dimensions) and, with a fix, the position.
    void position(double now, int dimension, const std::optional<FixSample>& fix);
    // The satellites in view after each complete update.
    void satellites(double now, std::span<const SatelliteInView> inView);
    // "Reset": starts the accuracy test, the signal history and the map over; the runs stay.
    void reset();

    const FirstFixTimer& firstFix() const { return m_firstFix; }
    const AccuracyStatistics& accuracy() const { return m_accuracy; }
    const SignalHistory& signalHistory() const { return m_signals; }
    const ObstructionMap& obstructions() const { return m_obstructions; }


private:
    FirstFixTimer m_firstFix;
    AccuracyStatistics m_accuracy;
    SignalHistory m_signals;
    ObstructionMap m_obstructions;
};
