// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <optional>

#include "nmea/Constellation.h"

// Where a satellite number of a GSV or GSA sentence belongs.
//
// Receivers number satellites in one of two ways: within the system the talker (or the
// NMEA 4.11 system id) names, or in the combined NMEA ranges a "GN" talker uses, where
// 1-32 are GPS, 33-64 SBAS (PRN minus 87), 65-96 GLONASS (slot plus 64), 120-158 SBAS,
// 193-200 QZSS, 201-263 BeiDou (older u-blox), 301-336 Galileo and 401-463 BeiDou. A QZSS
// talker may also use 201 and 202. Many talker-specific sentences still
// use the combined ranges (u-blox reports SBAS 33-64 under GP; GLONASS under GL as 65-96;
// some BeiDou receivers 201-263 under GB). The svid returned is the number within its
// system, as gpsd's (gnssid, svid) pairs have it.
struct PlacedSatellite {
    Constellation constellation;
    std::int32_t svid;
    bool operator==(const PlacedSatellite&) const = default;
};

// Nothing for a number no system of `system` (nothing: the talker names none) uses: such a
// number is not a satellite this program can place.
constexpr std::optional<PlacedSatellite> placeSatellite(std::optional<Constellation> system,
                                                        std::int64_t number)
{
    const auto in = [number](std::int64_t low, std::int64_t high) { return number >= low && number <= high; };
    const auto at = [number](Constellation c, std::int64_t offset) {
        return std::optional<PlacedSatellite>(PlacedSatellite{c, static_cast<std::int32_t>(number - offset)});
    };
    const auto combined = [&]() -> std::optional<PlacedSatellite> {
        if (in(1, 32)) return at(Constellation::GPS, 0);
        if (in(33, 64)) return at(Constellation::SBAS, -87);
        if (in(65, 96)) return at(Constellation::GLONASS, 64);
        if (in(120, 158)) return at(Constellation::SBAS, 0);
        if (in(193, 200)) return at(Constellation::QZSS, 192);
        if (in(201, 263)) return at(Constellation::BeiDou, 200);
        if (in(301, 336)) return at(Constellation::Galileo, 300);
        if (in(401, 463)) return at(Constellation::BeiDou, 400);
        return std::nullopt;
    };
    if (!system) return combined();
    switch (*system) {
    case Constellation::GPS:
    case Constellation::SBAS:
        return combined();
    case Constellation::GLONASS:
        if (in(1, 32)) return at(Constellation::GLONASS, 0);
        if (in(65, 96)) return at(Constellation::GLONASS, 64);
        return std::nullopt;
    case Constellation::Galileo:
        if (in(1, 36)) return at(Constellation::Galileo, 0);
        if (in(301, 336)) return at(Constellation::Galileo, 300);
        return std::nullopt;
    case Constellation::BeiDou:
        if (in(1, 63)) return at(Constellation::BeiDou, 0);
        if (in(201, 263)) return at(Constellation::BeiDou, 200);
        if (in(401, 463)) return at(Constellation::BeiDou, 400);
        return std::nullopt;
    case Constellation::QZSS:
        if (in(1, 10)) return at(Constellation::QZSS, 0);
        if (in(193, 202)) return at(Constellation::QZSS, 192);
        return std::nullopt;
    case Constellation::NavIC:
        if (in(1, 14)) return at(Constellation::NavIC, 0);
        return std::nullopt;
    }
    return std::nullopt;
}

// The system an NMEA 4.11 GSA/GSV system id names: 1 GPS, 2 GLONASS, 3 Galileo, 4 BeiDou,
// 5 QZSS, 6 NavIC.
constexpr std::optional<Constellation> constellationOfSystemId(std::int64_t id)
{
    switch (id) {
    case 1: return Constellation::GPS;
    case 2: return Constellation::GLONASS;
    case 3: return Constellation::Galileo;
    case 4: return Constellation::BeiDou;
    case 5: return Constellation::QZSS;
    case 6: return Constellation::NavIC;
    default: return std::nullopt;
    }
}
