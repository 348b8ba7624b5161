// SPDX-License-Identifier: BSD-2-Clause
#pragma once
// The simulated receiver's own route as a log, for runners that keep a line full by replaying
// it in a loop at the line rate.

#include <fstream>
#include <string>

#include "sim/Scenario.h"

// Every sentence of the route's first `seconds` seconds (all six types), back to back.
inline void writeRouteLog(const std::string& path, int seconds)
{
    std::ofstream out(path, std::ios::binary);
    sim::Scenario scenario(1, false);
    for (int second = 0; second < seconds; ++second) {
        scenario.step();
        for (int s = 0; s < sim::kSentenceCount; ++s)
            for (const auto& line : scenario.sentences(static_cast<sim::Sentence>(s))) out << line;
    }
}
