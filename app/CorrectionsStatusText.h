// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/CorrectionsController.h"

struct CorrectionsRow {
    std::string key;    // stable across languages ("corrections.age", "rtcm.1077")
    std::string label;  // in the user's language
    std::string value;
    bool warning = false;  // a failure, stale corrections: shown in colour
    bool operator==(const CorrectionsRow&) const = default;
};

// The corrections' state as labelled rows in the user's language, for the corrections pane:
// caster and connection state, the latest word of the client, the password's place, age of
// the last correction, base station, its position (ECEF, millimetres) and the baseline to
// the fix, the fix type (RTK float and fixed by name), then one row per message type with
// its count and rate.
class CorrectionsStatusText {
public:
    CorrectionsStatusText() = delete;

    // Corrections older than this are worth a warning (a receiver stops using them at ~30 s).
    static constexpr double kStaleSeconds = 10.0;

    static std::vector<CorrectionsRow> rows(const CorrectionsStatus& status);
    // "GPS MSM7", "base position", "Galileo ephemeris", ... in the user's language.
    static std::string messageName(std::uint16_t type);
    // GGA's fix quality by name: "RTK fixed" for 4, "RTK float" for 5, ...
    static std::string fixName(std::int32_t quality);
};
