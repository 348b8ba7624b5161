// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The position a client reports to a caster that needs one (virtual reference and nearest
// station mountpoints): degrees north/east positive, metres above mean sea level.
struct GgaPosition {
    double latitudeDegrees = 0;
    double longitudeDegrees = 0;
    double altitudeMeters = 0;
    double geoidSeparationMeters = 0;
    int quality = 1;               // GGA fix quality: 1 GPS, 2 DGPS, 4 RTK fixed, 5 RTK float
    int satellites = 0;            // used in the fix
    std::optional<double> hdop;    // nothing: field left empty
    // Time of the fix, seconds since midnight UTC; nothing: the sentence is stamped with the
    // time it is built.
    std::optional<double> utcSecondsOfDay;
};

// Builds "$GPGGA,...*hh\r\n" from a position. Locale-independent (a decimal point whatever the
// desktop's locale). Nothing for a position out of range or not finite.
struct GgaSentence {
    static std::optional<std::string> build(const GgaPosition& position);
};
