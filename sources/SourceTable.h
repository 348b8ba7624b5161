// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One stream record (STR) of a caster's source table.
struct Mountpoint {
    std::string name;
    std::string identifier;     // usually the nearest town
    std::string format;         // "RTCM 3.2", "RTCM 2.3", "RAW", ...
    std::string formatDetails;  // message types with their periods: "1005(10),1077(1)"
    int carrier = 0;            // 0 none, 1 L1, 2 L1 and L2
    std::string navSystem;      // "GPS+GLO+GAL+BDS"
    std::string network;
    std::string country;        // ISO 3166 code
    // Degrees, north and east positive; nothing when the table gives none (or 0/0).
    std::optional<double> latitude;
    std::optional<double> longitude;
    bool nmeaRequired = false;  // the caster wants the client's position as GGA
    bool networkSolution = false;  // a network (virtual) base rather than one station
    std::string generator;
    std::string authentication;  // "N", "B", "D"
    bool fee = false;
    int bitrate = 0;            // bit/s; 0 when not given
    // Kilometres from the position given to SourceTable::sortedByDistance; nothing otherwise.
    std::optional<double> distanceKm;
};

// A caster's source table: the stream records, in the caster's order; caster (CAS) and
// network (NET) records are counted only.
struct SourceTable {
    std::vector<Mountpoint> mountpoints;
    std::size_t casterRecords = 0;
    std::size_t networkRecords = 0;
    bool complete = false;  // the ENDSOURCETABLE line came

    // Records from text (a body, with or without the head lines before it). Malformed lines
    // are skipped.
    static SourceTable parse(std::string_view text);

    const Mountpoint* find(std::string_view name) const;
    // The mountpoints nearest first from the position (degrees), distanceKm filled in; those
    // without a position come last in the caster's order.
    std::vector<Mountpoint> sortedByDistance(double latitude, double longitude) const;
    // Great-circle distance in kilometres on a sphere of the Earth's mean radius.
    static double distanceKm(double latitude1, double longitude1, double latitude2, double longitude2);
};
