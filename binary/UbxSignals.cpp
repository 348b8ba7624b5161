// SPDX-License-Identifier: BSD-2-Clause
#include "binary/UbxSignals.h"

#include <array>

namespace binary {

namespace {

struct SignalRow {
    UbxGnss gnss;
    std::uint8_t sigId;
    SignalName name;
};

// The receiver's signal identifiers. B2a, E5a and L5 share the L5 band; E5b and B2I sit in
// the lower L5/E5 region, counted with L2 as the second band of L1/L2 receivers.
constexpr std::array kSignals{
    SignalRow{UbxGnss::Gps, 0, {"L1C/A", "L1C/A", SignalBand::L1}},
    SignalRow{UbxGnss::Gps, 3, {"L2C", "L2 CL", SignalBand::L2}},
    SignalRow{UbxGnss::Gps, 4, {"L2C", "L2 CM", SignalBand::L2}},
    SignalRow{UbxGnss::Gps, 6, {"L5", "L5 I", SignalBand::L5}},
    SignalRow{UbxGnss::Gps, 7, {"L5", "L5 Q", SignalBand::L5}},
    SignalRow{UbxGnss::Sbas, 0, {"L1C/A", "L1C/A", SignalBand::L1}},
    SignalRow{UbxGnss::Galileo, 0, {"E1", "E1 C", SignalBand::L1}},
    SignalRow{UbxGnss::Galileo, 1, {"E1", "E1 B", SignalBand::L1}},
    SignalRow{UbxGnss::Galileo, 3, {"E5a", "E5 aI", SignalBand::L5}},
    SignalRow{UbxGnss::Galileo, 4, {"E5a", "E5 aQ", SignalBand::L5}},
    SignalRow{UbxGnss::Galileo, 5, {"E5b", "E5 bI", SignalBand::L2}},
    SignalRow{UbxGnss::Galileo, 6, {"E5b", "E5 bQ", SignalBand::L2}},
    SignalRow{UbxGnss::Galileo, 8, {"E6", "E6 B", SignalBand::E6}},
    SignalRow{UbxGnss::Galileo, 9, {"E6", "E6 C", SignalBand::E6}},
    SignalRow{UbxGnss::Galileo, 10, {"E6", "E6 A", SignalBand::E6}},
    SignalRow{UbxGnss::BeiDou, 0, {"B1I", "B1I D1", SignalBand::L1}},
    SignalRow{UbxGnss::BeiDou, 1, {"B1I", "B1I D2", SignalBand::L1}},
    SignalRow{UbxGnss::BeiDou, 2, {"B2I", "B2I D1", SignalBand::L2}},
    SignalRow{UbxGnss::BeiDou, 3, {"B2I", "B2I D2", SignalBand::L2}},
    SignalRow{UbxGnss::BeiDou, 4, {"B3I", "B3I D1", SignalBand::E6}},
    SignalRow{UbxGnss::BeiDou, 5, {"B1C", "B1 Cp", SignalBand::L1}},
    SignalRow{UbxGnss::BeiDou, 6, {"B1C", "B1 Cd", SignalBand::L1}},
    SignalRow{UbxGnss::BeiDou, 7, {"B2a", "B2 ap", SignalBand::L5}},
    SignalRow{UbxGnss::BeiDou, 8, {"B2a", "B2 ad", SignalBand::L5}},
    SignalRow{UbxGnss::BeiDou, 10, {"B3I", "B3I D2", SignalBand::E6}},
    SignalRow{UbxGnss::Qzss, 0, {"L1C/A", "L1C/A", SignalBand::L1}},
    SignalRow{UbxGnss::Qzss, 1, {"L1S", "L1S", SignalBand::L1}},
    SignalRow{UbxGnss::Qzss, 4, {"L2C", "L2 CM", SignalBand::L2}},
    SignalRow{UbxGnss::Qzss, 5, {"L2C", "L2 CL", SignalBand::L2}},
    SignalRow{UbxGnss::Qzss, 8, {"L5", "L5 I", SignalBand::L5}},
    SignalRow{UbxGnss::Qzss, 9, {"L5", "L5 Q", SignalBand::L5}},
    SignalRow{UbxGnss::Qzss, 12, {"L1C", "L1C/B", SignalBand::L1}},
    SignalRow{UbxGnss::Glonass, 0, {"L1OF", "L1 OF", SignalBand::L1}},
    SignalRow{UbxGnss::Glonass, 2, {"L2OF", "L2 OF", SignalBand::L2}},
    SignalRow{UbxGnss::NavIC, 0, {"L5", "L5 A", SignalBand::L5}},
};

}  // namespace

SignalName ubxSignalName(UbxGnss gnss, std::uint8_t sigId)
{
    for (const SignalRow& row : kSignals)
        if (row.gnss == gnss && row.sigId == sigId) return row.name;
    return {};
}

std::string_view signalBandName(SignalBand band)
{
    switch (band) {
    case SignalBand::L1: return "L1";
    case SignalBand::L2: return "L2";
    case SignalBand::L5: return "L5";
    case SignalBand::E6: return "E6";
    case SignalBand::Unknown: break;
    }
    return "?";
}

std::string_view ubxGnssName(UbxGnss gnss)
{
    switch (gnss) {
    case UbxGnss::Gps: return "GPS";
    case UbxGnss::Sbas: return "SBAS";
    case UbxGnss::Galileo: return "Galileo";
    case UbxGnss::BeiDou: return "BeiDou";
    case UbxGnss::Imes: return "IMES";
    case UbxGnss::Qzss: return "QZSS";
    case UbxGnss::Glonass: return "GLONASS";
    case UbxGnss::NavIC: return "NavIC";
    }
    return "?";
}

}  // namespace binary
