// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "nmea/Sentences.h"

// Where one receiver cycle (epoch) ends, learnt from the stream the way gpsd learns it: the
// sentence type that came last before the time moved on is the cycle's last sentence from then
// on. Reports are written once per cycle — at that sentence, or, until it is known, when the
// next cycle's time arrives. One per connection; not thread-safe.
class CycleWatch {
public:
    // Before a decoded sentence is folded: true when its time starts a new cycle, so what
    // was gathered belongs to the cycle that just ended.
    bool startsCycle(const SentenceRecord& record);
    // After it was folded: true when it is the learnt last sentence of a cycle.
    bool endsCycle(std::string_view type);
    const std::string& lastOfCycle() const { return m_ender; }

private:
    std::optional<UtcTime> m_cycleTime;
    std::string m_lastType;
    std::string m_ender;
};
