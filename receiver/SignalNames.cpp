// SPDX-License-Identifier: BSD-2-Clause
#include "receiver/SignalNames.h"

#include <array>

namespace {

binary::UbxGnss ubxGnss(Constellation system)
{
    switch (system) {
    case Constellation::GPS: return binary::UbxGnss::Gps;
    case Constellation::SBAS: return binary::UbxGnss::Sbas;
    case Constellation::Galileo: return binary::UbxGnss::Galileo;
    case Constellation::BeiDou: return binary::UbxGnss::BeiDou;
    case Constellation::QZSS: return binary::UbxGnss::Qzss;
    case Constellation::GLONASS: return binary::UbxGnss::Glonass;
    case Constellation::NavIC: return binary::UbxGnss::NavIC;
    }
    return binary::UbxGnss::Gps;
}

binary::SignalName nameOf(Constellation system, std::int32_t sigId)
{
    if (sigId < 0 || sigId > 255) return {};
    return binary::ubxSignalName(ubxGnss(system), static_cast<std::uint8_t>(sigId));
}

struct NmeaSignal {
    Constellation system;
    std::uint8_t nmeaId;
    std::int32_t sigId;
};

// NMEA 4.11 signal ids of GSV against the receiver's signal numbers. Where NMEA names a
// signal without its component (E1 B or C, L2C M or L, E5a I or Q) the first is taken: the
// name and band are the same. P(Y), M and the restricted signals have no number and stay out.
constexpr std::array kNmeaSignals{
    NmeaSignal{Constellation::GPS, 1, 0},     // L1 C/A
    NmeaSignal{Constellation::GPS, 5, 4},     // L2C-M
    NmeaSignal{Constellation::GPS, 6, 3},     // L2C-L
    NmeaSignal{Constellation::GPS, 7, 6},     // L5-I
    NmeaSignal{Constellation::GPS, 8, 7},     // L5-Q
    NmeaSignal{Constellation::SBAS, 1, 0},    // L1 C/A, under the GPS talker
    NmeaSignal{Constellation::GLONASS, 1, 0}, // G1 C/A
    NmeaSignal{Constellation::GLONASS, 3, 2}, // G2 C/A
    NmeaSignal{Constellation::Galileo, 1, 3}, // E5a
    NmeaSignal{Constellation::Galileo, 2, 5}, // E5b
    NmeaSignal{Constellation::Galileo, 5, 8}, // E6-BC
    NmeaSignal{Constellation::Galileo, 7, 0}, // E1-BC
    NmeaSignal{Constellation::BeiDou, 1, 0},  // B1I
    NmeaSignal{Constellation::BeiDou, 3, 5},  // B1C
    NmeaSignal{Constellation::BeiDou, 5, 7},  // B2a
    NmeaSignal{Constellation::BeiDou, 8, 4},  // B3I
    NmeaSignal{Constellation::BeiDou, 11, 2}, // B2I
    NmeaSignal{Constellation::QZSS, 1, 0},    // L1 C/A
    NmeaSignal{Constellation::QZSS, 4, 1},    // L1S
    NmeaSignal{Constellation::QZSS, 5, 4},    // L2C-M
    NmeaSignal{Constellation::QZSS, 6, 5},    // L2C-L
    NmeaSignal{Constellation::QZSS, 7, 8},    // L5-I
    NmeaSignal{Constellation::QZSS, 8, 9},    // L5-Q
    NmeaSignal{Constellation::NavIC, 1, 0},   // L5 SPS
};

}  // namespace

std::string_view signalShortName(Constellation system, std::int32_t sigId)
{
    const std::string_view name = nameOf(system, sigId).shortName;
    // The receiver's tables write it without the space engineers read it with.
    if (name == "L1C/A") return "L1 C/A";
    return name;
}

binary::SignalBand signalBand(Constellation system, std::int32_t sigId)
{
    return nameOf(system, sigId).band;
}

bool isMultiBand(const SatelliteInView& satellite)
{
    std::optional<binary::SignalBand> first;
    for (const SignalInView& signal : satellite.signalList) {
        const binary::SignalBand band = signalBand(satellite.constellation, signal.sigId);
        if (band == binary::SignalBand::Unknown) continue;
        if (!first) first = band;
        else if (*first != band) return true;
    }
    return false;
}

std::optional<std::int32_t> sigIdOfNmeaSignal(Constellation system, std::uint8_t nmeaSignalId)
{
    for (const NmeaSignal& row : kNmeaSignals)
        if (row.system == system && row.nmeaId == nmeaSignalId) return row.sigId;
    return std::nullopt;
}
