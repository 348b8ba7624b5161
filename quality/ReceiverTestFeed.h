// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <limits>
#include <optional>
#include <vector>

#include "receiver/ReceiverState.h"
#include "quality/ReceiverTest.h"
#include "nmea/Sentences.h"

// Feeds the receiver test from the receiver model: after the state has folded each decoded
// sentence, the record and what it changed are handed on here. One accuracy point is taken
// per fix epoch (the first position sentence with a new UTC time), so a receiver that
// sends RMC, GGA and GLL for the same second counts that second once.
class ReceiverTestFeed {
public:
    // The test is not owned and must outlive the feed.
    explicit ReceiverTestFeed(ReceiverTest& test) : m_test(test) {}

    void connected(double now);
    void restarted(double now, RunStart why);
    void disconnected(double now);
    void apply(const ReceiverState& state, const SentenceRecord& record, ReceiverState::Changes changes,
               double now);

private:
    ReceiverTest& m_test;
    std::optional<UtcTime> m_lastEpoch;
    // The last speed an epoch supplied: the epoch's own may come after its first position
    // sentence (RMC after GGA), and standing still is told from it.
    float m_lastSpeedKnots = 0.0f;
    // Whether a satellite cycle has ended since the connect or restart; until then the
    // state's satellites are what the receiver heard before, not what it hears now.
    bool m_freshSky = false;
    // The sky is handed to the test at most this often while changes come in a run.
    static constexpr double kSkyGatherSeconds = 0.5;
    double m_skyTakenAt = -std::numeric_limits<double>::infinity();
    bool m_skyPending = false;  // a change since then waits for the run's end
    std::vector<SatelliteInView> m_sky;  // kept for its memory

    void forgetSky();
};
