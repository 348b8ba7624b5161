// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "nmea/Constellation.h"
#include "base/RingBuffer.h"

// One satellite's signal at one moment.
struct SignalSample {
    double timeSeconds = 0.0;
    Constellation constellation = Constellation::GPS;
    std::uint16_t svid = 0;
    std::uint8_t snrDbHz = 0;  // 0: in view but no signal
    bool usedInFix = false;
};

// Each satellite's signal-to-noise ratio over the last ten minutes, for the strip chart.
// Bounded twice: by age and by a fixed number of samples (64 satellites a second for the
// whole window), so a receiver reporting absurdly often cannot grow it. Main thread only.
class SignalHistory {
public:
    static constexpr double kWindowSeconds = 600.0;
    static constexpr std::size_t kCapacity = 64 * 600;

    SignalHistory() : m_samples(kCapacity) {}

    // The satellites in view after one complete update. Satellites with a number outside
    // 1..65535 are skipped; a clock that runs backwards starts the history over.
    void record(double now, std::span<const SatelliteInView> inView);
    void reset() { m_samples.clear(); }

    // Oldest first, none older than the window before the newest.
    const RingBuffer<SignalSample>& samples() const { return m_samples; }

private:
    RingBuffer<SignalSample> m_samples;
};
