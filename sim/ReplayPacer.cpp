// SPDX-License-Identifier: BSD-2-Clause
#include "sim/ReplayPacer.h"

#include <algorithm>

#include "sim/SerialLine.h"
#include "sim/Simulator.h"

namespace sim {

namespace {

constexpr std::size_t kReplayLowWater = 512;
// A paced replay whose due lines fill this much waits for the reader before it reads on.
constexpr auto kReplayBacklogRetry = std::chrono::milliseconds(5);

// The UTC field of a sentence that carries the time of its cycle, or nothing.
std::optional<std::string> cycleTime(const std::string& line)
{
    if (line.size() < 7 || line[0] != '$') return std::nullopt;
    const std::string type = line.substr(3, 3);
    const int field = type == "RMC" || type == "GGA" || type == "ZDA" ? 1 : type == "GLL" ? 5 : 0;
    if (field == 0) return std::nullopt;
    std::size_t start = 0;
    for (int i = 0; i < field; ++i) {
        start = line.find(',', start);
        if (start == std::string::npos) return std::nullopt;
        ++start;
    }
    const std::size_t end = line.find_first_of(",*", start);
    std::string time = line.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (time.empty()) return std::nullopt;
    return time;
}

}  // namespace

bool ReplayPacer::open(const std::string& path, const std::string& timesPath, bool loop)
{
    m_loop = loop;
    return m_log.open(path, timesPath);
}

std::optional<ReplayLog::Line> ReplayPacer::nextLine()
{
    auto line = m_log.next();
    if (!line && m_loop) {
        m_log.seek(0);
        m_untimedMs = m_lastTimedMs = 0;
        m_cycleTime.clear();
        m_rebase = true;
        m_wrapped = true;
        line = m_log.next();
    }
    if (!line) {
        m_finished.store(true);
        m_position.store(1.0);
        return std::nullopt;
    }
    m_finished.store(false);
    if (m_log.size() > 0)
        m_position.store(static_cast<double>(line->offset) / static_cast<double>(m_log.size()));
    return line;
}

void ReplayPacer::queue(SerialLine& line, const ReplayLog::Line& next)
{
    line.queueLine(next.raw ? next.text : next.text + "\r\n");
    m_linesSent.fetch_add(1);
}

void ReplayPacer::queueBacklog(SerialLine& line)
{
    while (line.size() < kReplayLowWater) {
        auto next = nextLine();
        if (!next) return;
        queue(line, *next);
    }
}

void ReplayPacer::seek(double fraction)
{
    m_log.seek(static_cast<std::uint64_t>(fraction * static_cast<double>(m_log.size())));
    m_ahead.reset();
    m_rebase = true;
    m_position.store(fraction);
}

ReplayPacer::Clock::time_point ReplayPacer::queuePaced(SerialLine& line, Clock::time_point now, double speed)
{
    using namespace std::chrono;
    if (speed == 0.0) {
        while (line.size() < SerialLine::kUnpacedBacklog) {
            auto next = nextLine();
            if (!next) return Clock::time_point::max();
            queue(line, *next);
        }
        return Clock::time_point::max();
    }
    for (;;) {
        if (!m_ahead) {
            m_ahead = nextLine();
            if (!m_ahead) return Clock::time_point::max();
            if (m_ahead->milliseconds) {
                m_lastTimedMs = *m_ahead->milliseconds;
                m_aheadMs = m_lastTimedMs;
            } else if (m_log.hasTimes()) {
                m_aheadMs = m_lastTimedMs;
            } else {
                // A new cycle begins where the receiver's time changes.
                if (const auto time = cycleTime(m_ahead->text); time && *time != m_cycleTime) {
                    if (!m_cycleTime.empty()) m_untimedMs += 1000;
                    m_cycleTime = *time;
                }
                m_aheadMs = m_untimedMs;
            }
        }
        if (m_rebase) {
            m_base = now;
            // A new pass comes a cycle after the last line of the one before, as the next
            // second would: a log of one time stamp (or one line) is not all due at once.
            if (m_wrapped) m_base += duration_cast<Clock::duration>(duration<double>(1.0 / speed));
            m_baseMs = m_aheadMs;
            m_rebase = false;
            m_wrapped = false;
        }
        // Bounded before it becomes a clock duration: a gap of 10^15 ms, or a tiny speed,
        // would overflow it into the past and play at once.
        const double maxWaitMs = duration<double, std::milli>(kMaxReplayWait).count();
        const double late = m_aheadMs >= m_baseMs
                                ? std::min(static_cast<double>(m_aheadMs - m_baseMs) / speed, maxWaitMs)
                                : 0.0;
        const auto due = m_base + duration_cast<Clock::duration>(duration<double, std::milli>(late));
        if (due > now) return due;
        // Lines due now wait while the reader is this far behind, so what waits is bounded
        // and the loop sees its stop and its requests.
        if (line.size() >= SerialLine::kUnpacedBacklog) return now + kReplayBacklogRetry;
        queue(line, *m_ahead);
        m_ahead.reset();
    }
}

}  // namespace sim
