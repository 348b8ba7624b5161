// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "sim/ReplayLog.h"

namespace sim {

class SerialLine;

// Puts a recorded log on the serial line: as fast as the line rate lets the bytes out, as
// fast as the reader takes them, or at the log's own pace (its arrival times, or one cycle of
// sentences a second without them). Runs on the simulator's thread; position(), finished()
// and linesSent() may be read from any thread.
class ReplayPacer {
public:
    using Clock = std::chrono::steady_clock;

    // False with error() set when the log cannot be read. loop: start over at the end.
    bool open(const std::string& path, const std::string& timesPath, bool loop);
    const std::string& error() const { return m_log.error(); }

    // Tops the line up with lines as fast as the line rate takes them.
    void queueBacklog(SerialLine& line);
    // Queues what is due at the log's pace times speed (0: as fast as the reader takes
    // them); returns when the next line is due.
    Clock::time_point queuePaced(SerialLine& line, Clock::time_point now, double speed);
    // Goes on from the line at the fraction of the file (0 = start, 1 = end).
    void seek(double fraction);
    // The pace counts afresh from the next line (after a pause or a hold).
    void restartPace() { m_rebase = true; }

    double position() const { return m_position.load(); }  // 0..1
    bool finished() const { return m_finished.load(); }
    std::uint64_t linesSent() const { return m_linesSent.load(); }

private:
    std::optional<ReplayLog::Line> nextLine();
    void queue(SerialLine& line, const ReplayLog::Line& next);

    ReplayLog m_log;
    bool m_loop = false;
    std::optional<ReplayLog::Line> m_ahead;  // read, not yet due
    std::uint64_t m_aheadMs = 0;
    std::uint64_t m_untimedMs = 0;           // one cycle a second for logs without times
    std::uint64_t m_lastTimedMs = 0;
    std::string m_cycleTime;
    bool m_rebase = true;
    bool m_wrapped = false;                  // a loop began a new pass: it starts a cycle later
    Clock::time_point m_base;
    std::uint64_t m_baseMs = 0;

    std::atomic<bool> m_finished{false};
    std::atomic<double> m_position{0.0};
    std::atomic<std::uint64_t> m_linesSent{0};
};

}  // namespace sim
