// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>

#include "sim/UbxReceiver.h"

namespace sim {

class Scenario;
class SerialLine;

// The UBX receiver on the simulated line: it puts its answers on the line, takes its
// measurements from the scenario on its own measurement period (in simulated time), and
// follows a baud-rate change once the answer to it, and what was queued before, is out.
// Runs on the simulator's thread.
class UbxSession {
public:
    using Clock = std::chrono::steady_clock;

    // The scenario and the line are not owned and must outlive the session.
    UbxSession(std::uint32_t baud, UbxModel model, Scenario& scenario, SerialLine& line);

    // The first measurement is due at start.
    void start(Clock::time_point start) { m_nextMeasurement = start; }

    // Bytes from the application, which sent them at rate.
    void receive(std::span<const std::uint8_t> bytes, std::uint32_t rate);
    // The rate the line changes to now, once the answer that changed it is written.
    std::optional<std::uint32_t> takeRateChange();
    bool rateChangeDue() const;

    // Takes the measurement when it is due; nothing reaches a silent line. speedup: simulated
    // seconds per real second.
    void measureIfDue(Clock::time_point now, bool silent, std::uint32_t rate, bool unpaced, double speedup);
    Clock::time_point nextMeasurement() const { return m_nextMeasurement; }

private:
    void measure(bool silent, std::uint32_t rate, bool unpaced);

    UbxReceiver m_receiver;
    Scenario& m_scenario;
    SerialLine& m_line;
    std::uint64_t m_seconds = 0;          // scenario seconds stepped
    Clock::time_point m_nextMeasurement{};
    std::uint64_t m_measurementMs = 0;    // simulated time of the next measurement
    std::optional<std::uint32_t> m_rateAfterAnswer;
};

}  // namespace sim
