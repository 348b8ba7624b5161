// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

// RTCM 3 messages: the number and station of every frame, and the few messages worth showing
// on their own (base position, antenna and receiver descriptions, MSM headers).
namespace binary {

// 1005 (without antenna height) and 1006: the base station's antenna reference point.
struct Rtcm3StationPosition {
    std::uint16_t station = 0;
    std::uint8_t itrfYear = 0;
    bool gps = false;
    bool glonass = false;
    bool galileo = false;
    bool referenceStation = false;   // a physical station rather than a computed one
    bool singleOscillator = false;
    std::uint8_t quarterCycle = 0;
    double ecefXM = 0.0;             // 0.1 mm resolution
    double ecefYM = 0.0;
    double ecefZM = 0.0;
    std::optional<double> antennaHeightM;  // 1006 only
    bool operator==(const Rtcm3StationPosition&) const = default;
};

// 1007, 1008 and 1033: antenna and receiver descriptions (texts as sent, non-printable bytes
// as '.'); fields the message type does not carry stay empty.
struct Rtcm3Descriptor {
    std::uint16_t station = 0;
    std::string antenna;
    std::uint8_t setupId = 0;
    std::string antennaSerial;
    std::string receiver;
    std::string firmware;
    std::string receiverSerial;
    bool operator==(const Rtcm3Descriptor&) const = default;
};

// The header of a multiple-signal message (1071-1137).
struct Rtcm3MsmHeader {
    std::uint16_t station = 0;
    std::uint8_t gnssId = 0;       // UBX numbering: 0 GPS, 1 SBAS, 2 Galileo, 3 BeiDou, 5 QZSS, 6 GLONASS, 7 NavIC
    std::uint8_t msmType = 0;      // 1..7
    std::uint32_t epochRaw = 0;    // 30 bits: time of week ms; GLONASS: day of week << 27 | ms of day
    bool moreMessages = false;     // the multiple message bit: more of this epoch follow
    std::uint8_t iods = 0;
    std::uint8_t clockSteering = 0;
    std::uint8_t externalClock = 0;
    bool smoothing = false;
    std::uint8_t smoothingInterval = 0;
    std::uint64_t satelliteMask = 0;
    std::uint32_t signalMask = 0;
    std::uint64_t cellMask = 0;    // satellites × signals bits, first cell in the highest bit
    std::uint8_t satellites = 0;
    std::uint8_t signalCount = 0;
    std::uint8_t cells = 0;        // set bits of the cell mask
    bool operator==(const Rtcm3MsmHeader&) const = default;
};

enum class Rtcm3Problem : std::uint8_t { None, TooShort, OutOfRange, NotDecoded };

using Rtcm3Record = std::variant<Rtcm3StationPosition, Rtcm3Descriptor, Rtcm3MsmHeader>;

struct Rtcm3Decoded {
    std::uint16_t message = 0;
    std::optional<std::uint16_t> station;  // for message types that carry one
    std::optional<Rtcm3Record> record;     // for the types decoded here
    Rtcm3Problem problem = Rtcm3Problem::None;
};

// Decodes the message part of an RTCM3 frame (between length and CRC). Types without a
// decoder give the number and station and Rtcm3Problem::NotDecoded.
Rtcm3Decoded decodeRtcm3(std::span<const std::uint8_t> message);

// The message-table key of a problem, for the monitor (empty for None).
std::string_view rtcm3ProblemKey(Rtcm3Problem problem);

}  // namespace binary
