// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <string>

#include "nmea/NMEA.h"

// What the program does with every line it reads: the checksum test, the address parts,
// every field, and the coordinates of the sentence types that carry them. Returns a number
// built from the results so that nothing can be optimised away.
inline std::uint64_t runCodecPath(ByteBuffer& sentence)
{
    if (!NMEA::checkSumValid(sentence)) return 0;
    std::uint64_t sink = 1;
    const auto prefix = NMEA::prefix(sentence);
    const auto command = NMEA::command(sentence);
    if (prefix) sink += static_cast<unsigned char>((*prefix)[0]);

    const std::uint32_t fields = NMEA::count(sentence);
    for (std::uint32_t i = 0; i < fields; ++i) sink += NMEA::parse(sentence, i)->size();

    std::uint32_t latitudeField = 0;
    if (command == "GGA") latitudeField = 2;
    else if (command == "RMC") latitudeField = 3;
    else if (command == "GLL") latitudeField = 1;
    if (latitudeField != 0) {
        const float lat = NMEA::position(NMEA::parse(sentence, latitudeField),
                                         NMEA::parse(sentence, latitudeField + 1));
        const float lon = NMEA::position(NMEA::parse(sentence, latitudeField + 2),
                                         NMEA::parse(sentence, latitudeField + 3));
        sink += static_cast<std::uint64_t>(static_cast<std::int64_t>((lat + lon) * 1000.0f));
    }
    return sink;
}
