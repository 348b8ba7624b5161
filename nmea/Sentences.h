// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <variant>
#include <vector>

#include "nmea/Constellation.h"
#include "nmea/SentenceFields.h"

// Typed records of the NMEA sentences the receiver model understands, and the pure decoders
// that make them from a split sentence.
//
// A decoder checks the range of every value it reads. A value that is out of range or not a
// number is left out of the record and noted (the sentence still counts: its other fields
// apply); a position that is partly missing or not a place on Earth is left out as a whole.
// A sentence shorter than its full form is taken as sent: the fields it lacks are absent.
// Status V (RMC, GLL) or mode indicator N leaves the position out; RMC keeps speed and
// course, which validFix() marks as not from a fix. Numbers are read the same under every
// process locale.

enum class DecodeProblem : std::uint8_t {
    None,
    UnknownType,
    TooFewFields,
    BadTime,
    BadDate,
    BadLatitude,
    BadLongitude,
    PartialPosition,
    BadSpeed,
    BadCourse,
    BadDop,
    BadAltitude,
    BadSatellite,
    BadElevation,
    BadAzimuth,
    BadSnr,
    BadNumber,
};

// The message key a monitor shows for a problem ("DecodeBadTime" ...).
std::string_view decodeProblemKey(DecodeProblem problem);

struct DecodeNote {
    DecodeProblem problem = DecodeProblem::None;
    std::uint32_t field = 0;  // the field that was refused; 0 for the sentence as a whole
    explicit operator bool() const { return problem != DecodeProblem::None; }
};

// What a decoder left out of a record, by field number.
struct DroppedFields {
    std::uint64_t fields = 0;  // bit n: field n was present but refused (fields 0..63)
    DecodeNote first;          // the first one, for the monitor

    void add(DecodeProblem problem, std::uint32_t field);
    bool has(std::uint32_t field) const { return field < 64 && (fields >> field & 1u) != 0; }
    bool any() const { return fields != 0 || first; }
};

struct UtcTime {
    std::uint8_t hours = 0;    // 0..23
    std::uint8_t minutes = 0;  // 0..59
    double seconds = 0.0;      // 0..60.999, a leap second included
    bool operator==(const UtcTime&) const = default;
};

struct UtcDate {
    std::uint16_t year = 0;  // four digits
    std::uint8_t month = 0;  // 1..12
    std::uint8_t day = 0;    // 1..31
    bool operator==(const UtcDate&) const = default;
};

// A position as sent. The double values are exact to the sent digits; the 32-bit ones are
// computed in single precision step by step, as the read-outs always have shown them.
struct GeoPosition {
    double latitudeDegrees = 0.0;   // -90..90, north positive
    double longitudeDegrees = 0.0;  // -180..180, east positive
    float latitudeDegrees32 = 0.0f;
    float longitudeDegrees32 = 0.0f;
};

// $GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,
// Fields: 1 UTC, 2-5 position, 6 fix quality, 7 satellites used, 8 HDOP, 9 altitude (m),
// 11 geoid separation (m).
struct GGA {
    std::optional<UtcTime> time;
    std::optional<GeoPosition> position;  // absent also for fix quality 0
    std::optional<std::int32_t> fixQuality;  // 0 none, 1 GPS, 2 DGPS, 4/5 RTK, 6 estimated...
    bool fixQualityEmpty = false;         // the field was sent empty
    std::optional<std::int32_t> satellitesUsed;
    std::optional<float> hdop;
    std::optional<float> altitudeMeters;  // above mean sea level
    std::optional<float> geoidSeparationMeters;
    std::optional<float> dgpsAgeSeconds;      // age of the differential corrections
    std::optional<std::int32_t> dgpsStation;  // the reference station's id, 0..4095
    DroppedFields dropped;
};

// $GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W,A
// Fields: 1 UTC, 2 status (A valid, V invalid), 3-6 position, 7 speed (knots), 8 course
// (degrees true), 9 date, 12 mode indicator (NMEA 2.3).
struct RMC {
    std::optional<UtcTime> time;
    char status = 0;  // 'A', 'V', or 0 for an empty field
    char mode = 0;    // 'A', 'D', 'E', 'N', ... or 0 when not sent
    std::optional<GeoPosition> position;
    std::optional<float> speedKnots;
    std::optional<float> courseDegrees;
    std::optional<UtcDate> date;
    DroppedFields dropped;

    // Position, speed and course come from a valid fix: status A (or none, from receivers
    // older than the status field) and no mode indicator N.
    bool validFix() const { return status != 'V' && mode != 'N'; }
};

// $GPGLL,4916.45,N,12311.12,W,225444,A,A
// Fields: 1-4 position, 5 UTC, 6 status, 7 mode indicator (NMEA 2.3).
struct GLL {
    std::optional<GeoPosition> position;
    std::optional<UtcTime> time;
    char status = 0;
    char mode = 0;
    DroppedFields dropped;
};

// $GPVTG,054.7,T,034.4,M,005.5,N,010.2,K,A
// Fields: 1 course (degrees true), 5 speed (knots), 7 speed (km/h), 9 mode indicator.
struct VTG {
    std::optional<float> courseDegrees;
    std::optional<float> speedKnots;
    std::optional<float> speedKmh;
    char mode = 0;
    DroppedFields dropped;
};

// $GNGSA,A,3,29,20,18,16,51,13,44,26,,,,,0.99,0.54,0.83,1
// Fields: 1 mode (A automatic, M manual), 2 fix type (1 none, 2 2D, 3 3D), 3-14 satellites
// used, 15-17 PDOP, HDOP, VDOP, 18 system id (NMEA 4.11).
struct GSA {
    bool stated = false;               // mode and fix type fields were sent at all
    char mode = 0;                     // 0 for an empty field
    std::optional<std::int32_t> fixType;  // 1..3
    bool fixTypeEmpty = false;
    std::vector<std::int32_t> satellites;  // as sent, each 1..999
    std::optional<float> pdop;             // absent when empty or refused
    std::optional<float> hdop;
    std::optional<float> vdop;
    std::optional<Constellation> system;  // from the system id
    std::optional<Constellation> talkerSystem;  // from the talker; nothing for GN
    DroppedFields dropped;
};

// $GPGSV,3,1,11,01,40,083,46,02,17,308,41,12,07,344,39,14,22,228,45,1
// Fields: 1 sentences in the cycle, 2 this sentence's number, 3 satellites in view, then
// blocks of number, elevation, azimuth, SNR at 4+4k..7+4k, and a signal id (NMEA 4.10)
// when one field is left over.
struct GSV {
    struct Block {
        std::int32_t number = 0;  // as sent, 1..999
        std::optional<std::int32_t> elevationDegrees;  // 0..90
        std::optional<std::int32_t> azimuthDegrees;    // 0..359
        std::optional<std::int32_t> snrDbHz;           // 0..99; absent when not tracked
        std::uint32_t position = 0;  // 0..3 within the sentence
    };
    std::int32_t total = 0;   // 1..9
    std::int32_t number = 0;  // 1..total
    std::optional<std::int32_t> inView;
    std::vector<Block> satellites;  // blocks with a number, in sentence order
    std::optional<std::uint8_t> signalId;  // 0..15
    std::optional<Constellation> talkerSystem;  // from the talker; nothing for GN
    DroppedFields dropped;
};

// $GNGNS,014035.00,4332.69262,S,17235.48549,E,RR,13,0.9,25.63,11.24,,*70
// Fields: 1 UTC, 2-5 position, 6 mode per system (N no fix), 7 satellites used, 8 HDOP,
// 9 altitude (m), 10 geoid separation (m).
struct GNS {
    std::optional<UtcTime> time;
    std::optional<GeoPosition> position;  // absent when every mode character is N
    std::array<char, 8> modes{};          // as sent, NUL-padded
    std::optional<std::int32_t> satellitesUsed;
    std::optional<float> hdop;
    std::optional<float> altitudeMeters;
    std::optional<float> geoidSeparationMeters;
    DroppedFields dropped;
};

// $GPZDA,201530.00,04,07,2002,00,00
// Fields: 1 UTC, 2 day, 3 month, 4 year, 5-6 local zone hours and minutes.
struct ZDA {
    std::optional<UtcTime> time;
    std::optional<UtcDate> date;
    DroppedFields dropped;
};

// $HEHDT,274.07,T
// Fields: 1 heading (degrees true), 2 "T".
struct HDT {
    std::optional<float> headingDegrees;
    DroppedFields dropped;
};

using SentenceRecord = std::variant<GGA, RMC, GLL, VTG, GSA, GSV, GNS, ZDA, HDT>;

// A decoder's answer: the record, or nothing and why.
struct Decoded {
    std::optional<SentenceRecord> record;
    DecodeNote note;  // the refusal, or the first value left out of the record
};

Decoded decodeGGA(const SentenceFields& fields);
Decoded decodeRMC(const SentenceFields& fields);
Decoded decodeGLL(const SentenceFields& fields);
Decoded decodeVTG(const SentenceFields& fields);
Decoded decodeGSA(const SentenceFields& fields);
Decoded decodeGSV(const SentenceFields& fields);
Decoded decodeGNS(const SentenceFields& fields);
Decoded decodeZDA(const SentenceFields& fields);
Decoded decodeHDT(const SentenceFields& fields);

// Plausible limits of what a receiver on Earth can report.
namespace limits {
constexpr float kMaxSpeedKnots = 1000.0f;
constexpr float kMaxSpeedKmh = 1852.0f;
constexpr float kMaxDop = 99.9f;
constexpr float kMinAltitudeMeters = -1000.0f;
constexpr float kMaxAltitudeMeters = 100000.0f;
}  // namespace limits
