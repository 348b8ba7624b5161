// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// How old each read-out of the window is, so that one the receiver stopped refreshing can be
// shown greyed instead of looking live.
//
// A read-out is stale when it has not been refreshed for kMinimumStaleSeconds, or for three
// of the intervals at which its sentence came, whichever is longer: a receiver that sends GSA
// every 5 s is not stale after 6 s. Times are seconds of one monotonic clock. Not
// thread-safe.
class ReadoutFreshness {
public:
    enum Readout : std::uint8_t { kTime, kPosition, kFix, kSpeed, kCourse, kFixTypeSentence, kCount };

    static constexpr double kMinimumStaleSeconds = 5.0;
    static constexpr double kIntervalsBeforeStale = 3.0;

    void refreshed(Readout readout, double nowSeconds);
    // False for a read-out never refreshed: an empty field is not stale, only empty.
    bool stale(Readout readout, double nowSeconds) const;
    bool everRefreshed(Readout readout) const { return m_entries[readout].last >= 0.0; }
    // A new connection: nothing refreshed yet.
    void reset() { m_entries = {}; }

private:
    struct Entry {
        double last = -1.0;
        double interval = 0.0;
    };
    std::array<Entry, kCount> m_entries{};
};
