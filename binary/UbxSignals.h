// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <string_view>

#include "binary/UbxRecords.h"

namespace binary {

enum class SignalBand : std::uint8_t { Unknown, L1, L2, L5, E6 };

struct SignalName {
    std::string_view shortName;  // "L1C/A", "L2C", "L5", "E1", "E5a", "E5b", "B1I", "L1OF", ...
    std::string_view detail;     // the component: "L2 CL", "E5 aQ", "B1I D2", ...
    SignalBand band = SignalBand::Unknown;
};

// The signal a (gnssId, sigId) pair of NAV-SIG or the receiver's other messages names; an
// unknown pair gives empty names and SignalBand::Unknown.
SignalName ubxSignalName(UbxGnss gnss, std::uint8_t sigId);

std::string_view signalBandName(SignalBand band);  // "L1", "L2", "L5", "E6", "?"
std::string_view ubxGnssName(UbxGnss gnss);        // "GPS", "SBAS", "Galileo", ...

}  // namespace binary
