// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

// The satellite systems a receiver reports, and one satellite in view as the receiver model
// keeps it and the sky plot draws it.

enum class Constellation : std::uint8_t { GPS, SBAS, Galileo, BeiDou, QZSS, GLONASS, NavIC };

// The RINEX system letter GNSS engineers tag satellites with: G, S, E, C, J, R, I.
constexpr char rinexLetter(Constellation system)
{
    switch (system) {
    case Constellation::GPS: return 'G';
    case Constellation::SBAS: return 'S';
    case Constellation::Galileo: return 'E';
    case Constellation::BeiDou: return 'C';
    case Constellation::QZSS: return 'J';
    case Constellation::GLONASS: return 'R';
    case Constellation::NavIC: return 'I';
    }
    return '?';
}

// gpsd's "gnssid" numbering, used in the JSON reports so existing tools can read them.
constexpr int gpsdGnssId(Constellation system)
{
    switch (system) {
    case Constellation::GPS: return 0;
    case Constellation::SBAS: return 1;
    case Constellation::Galileo: return 2;
    case Constellation::BeiDou: return 3;
    case Constellation::QZSS: return 5;
    case Constellation::GLONASS: return 6;
    case Constellation::NavIC: return 7;
    }
    return -1;
}

// An English name for legends and messages.
constexpr std::string_view constellationName(Constellation system)
{
    switch (system) {
    case Constellation::GPS: return "GPS";
    case Constellation::SBAS: return "SBAS";
    case Constellation::Galileo: return "Galileo";
    case Constellation::BeiDou: return "BeiDou";
    case Constellation::QZSS: return "QZSS";
    case Constellation::GLONASS: return "GLONASS";
    case Constellation::NavIC: return "NavIC";
    }
    return "?";
}

// The system of a talker that names one: GP, GL, GA, GB/BD, GQ/QZ, GI. Nothing for GN
// (combined) and anything else: those satellites are placed by their numbers.
constexpr std::optional<Constellation> constellationOfTalker(std::string_view talker)
{
    if (talker == "GP") return Constellation::GPS;
    if (talker == "GL") return Constellation::GLONASS;
    if (talker == "GA") return Constellation::Galileo;
    if (talker == "GB" || talker == "BD") return Constellation::BeiDou;
    if (talker == "GQ" || talker == "QZ") return Constellation::QZSS;
    if (talker == "GI") return Constellation::NavIC;
    return std::nullopt;
}

// One signal of a satellite; a dual-band receiver tracks two or more per satellite.
struct SignalInView {
    std::int32_t sigId = 0;               // gpsd's sigid within the constellation (0 = L1 C/A, E1, B1I, ...)
    std::optional<std::int32_t> freqId{};   // GLONASS frequency slot plus 7 (gpsd's freqid, 0..13) where known
    std::optional<std::int32_t> snrDbHz{};  // nothing when not tracked
    bool usedInFix = false;
    std::optional<std::int32_t> health{};   // 1 healthy, 2 unhealthy; nothing when not said
    std::optional<std::int32_t> quality{};  // the receiver's 0..7 tracking quality; nothing when not said
    bool operator==(const SignalInView&) const = default;
};

// One satellite in view. The number is the one the receiver sent (svid within its system
// where the talker names the system); no signal is kept as nothing, not as 0.
struct SatelliteInView {
    Constellation constellation = Constellation::GPS;
    std::int32_t svid = 0;
    std::optional<std::int32_t> elevationDegrees;  // 0..90 above the horizon; nothing when not sent
    std::optional<std::int32_t> azimuthDegrees;    // 0..359 clockwise from true north; nothing when not sent
    std::optional<std::int32_t> snrDbHz; // 0..99; nothing when not tracked
    bool usedInFix = false;
    std::optional<std::int32_t> health;   // 1 healthy, 2 unhealthy; nothing when not said
    std::optional<std::int32_t> quality;  // the receiver's 0..7 tracking quality; nothing when not said
    // Each signal the receiver reported, in its order. Empty when it says nothing per signal;
    // snrDbHz is then the one signal, else the strongest signal's. Not "signals": that is a
    // macro wherever Qt is included.
    std::vector<SignalInView> signalList{};  // {}: brace lists may leave it out
};
