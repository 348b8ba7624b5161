// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "binary/UbxSignals.h"
#include "nmea/Constellation.h"

// Names and bands of the signals of SatelliteInView::signalList, whose sigId is gpsd's (and
// the u-blox receivers') number within the constellation.

// "L1 C/A", "L2C", "L5", "E1", "E5a", "E5b", "B1I", "B2a", "L1OF", "L2OF", ...; "" when unknown.
std::string_view signalShortName(Constellation system, std::int32_t sigId);

// The band a signal lies in; SignalBand::Unknown for an unknown signal.
binary::SignalBand signalBand(Constellation system, std::int32_t sigId);

// True for a satellite with signals on two or more distinct bands (a dual-band fix).
bool isMultiBand(const SatelliteInView& satellite);

// The sigId of an NMEA 4.10/4.11 GSV signal id (1 GPS L1 C/A, 7 Galileo E1, ...) within a
// constellation; nothing for 0 ("all signals") and ids that name no signal of it.
std::optional<std::int32_t> sigIdOfNmeaSignal(Constellation system, std::uint8_t nmeaSignalId);
