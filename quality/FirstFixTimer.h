// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>

#include "nmea/Constellation.h"
#include "base/RingBuffer.h"

// What began a time-to-first-fix run.
enum class RunStart : std::uint8_t { Connect, HotRestart, WarmRestart, ColdRestart };

constexpr std::size_t kConstellationCount = 7;

// The message key naming a run's start in tables ("TestColdStart", ...).
std::string runStartKey(RunStart why);

// One run: the moments, in seconds after its start, at which each milestone was first
// reached; nothing while not (yet) reached.
struct FirstFixRun {
    RunStart start = RunStart::Connect;
    double startedAtSeconds = 0.0;  // on the session clock
    std::optional<double> firstSentence;
    std::optional<double> firstSignal;  // a satellite with a signal-to-noise ratio above 0
    std::optional<double> first2dFix;   // a fix of at least two dimensions
    std::optional<double> first3dFix;
    // Indexed by Constellation: the first fix that used one of its satellites.
    std::array<std::optional<double>, kConstellationCount> firstFixWith{};
};

// Time to first fix: a clock that counts up from a connect or a restart command, and the
// milestones of the last ten runs. Times come from the caller's clock (seconds, only
// differences matter), so runs can be scripted in tests. Main thread only.
class FirstFixTimer {
public:
    static constexpr std::size_t kRunsKept = 10;

    FirstFixTimer() : m_runs(kRunsKept) {}

    // Begins a new run; beyond ten runs the oldest goes. After a restart command the run
    // takes no fix and no satellites until the receiver has reported that it has no fix:
    // what it sent before it restarted may still be on the line.
    void start(double now, RunStart why);
    // The connection closed: the current run keeps what it reached and takes no more, and
    // the clock stands still.
    void stop(double now);
    bool running() const { return m_running; }

    // Every verified sentence.
    void sentence(double now);
    // The satellites in view after each complete update; marks their constellations used in
    // the fix once one is there.
    void satellites(double now, std::span<const SatelliteInView> inView);
    // The fix after each position update: 0 none, 2 two-dimensional, 3 three-dimensional.
    void fix(double now, int dimension);

    // Seconds shown on the clock: counting since the start until the 3D fix, then the time
    // of that fix; after stop, the last value; nothing before the first run.
    std::optional<double> clockSeconds(double now) const;

    // Oldest first; the newest is the current run.
    const RingBuffer<FirstFixRun>& runs() const { return m_runs; }

    // The table of runs as tab-separated text with a header line, for the clipboard.
    std::string copyText() const;

private:
    void markUsed(double now);

    RingBuffer<FirstFixRun> m_runs;
    bool m_running = false;
    bool m_waitingForLoss = false;
    int m_dimension = 0;
    std::array<bool, kConstellationCount> m_used{};
    std::optional<double> m_stoppedClock;
};
