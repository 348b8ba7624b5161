// SPDX-License-Identifier: BSD-2-Clause
#include "nmea/Sentences.h"

#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

#include "base/Numbers.h"
#include "nmea/NMEA.h"
#include "nmea/SatelliteNumbering.h"

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool allDigits(std::string_view text)
{
    for (char c : text)
        if (!isDigit(c)) return false;
    return !text.empty();
}

// A plain decimal number as receivers send it: optional sign, digits, optional fraction.
// No blanks, exponents, "inf" or hexadecimal: anything else in a field is not a number.
bool isDecimal(std::string_view text)
{
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) text.remove_prefix(1);
    const std::size_t dot = text.find('.');
    const std::string_view whole = text.substr(0, dot);
    const std::string_view fraction = dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
    if (whole.empty() && fraction.empty()) return false;
    return (whole.empty() || allDigits(whole)) && (fraction.empty() || allDigits(fraction));
}

// Correctly rounded, as strtof under the C locale reads it, whatever the process locale.
template <typename T>
std::optional<T> readNumber(std::string_view text)
{
    if (!isDecimal(text)) return std::nullopt;
    if (text[0] == '+') text.remove_prefix(1);
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<std::int64_t> readInteger(std::string_view text)
{
    bool negative = false;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    if (!allDigits(text) || text.size() > 15) return std::nullopt;
    const auto value = digitsValue<std::int64_t>(text);
    if (!value) return std::nullopt;
    return negative ? -*value : *value;
}

// Reads field `index` as a number within [low, high]. Nothing for an empty field; a field
// that is not such a number is noted as `problem` and read as nothing.
template <typename T>
std::optional<T> ranged(const SentenceFields& fields, std::uint32_t index, T low, T high,
                        DecodeProblem problem, DroppedFields& dropped)
{
    const std::string_view text = fields.field(index);
    if (text.empty()) return std::nullopt;
    std::optional<T> value;
    if constexpr (std::is_integral_v<T>) {
        if (const auto whole = readInteger(text); whole && *whole >= low && *whole <= high)
            value = static_cast<T>(*whole);
    } else {
        if (const auto real = readNumber<T>(text); real && *real >= low && *real <= high) value = real;
    }
    if (!value) dropped.add(problem, index);
    return value;
}

std::optional<UtcTime> readTime(const SentenceFields& fields, std::uint32_t index, DroppedFields& dropped)
{
    const std::string_view text = fields.field(index);
    if (text.empty()) return std::nullopt;
    const auto bad = [&]() -> std::optional<UtcTime> {
        dropped.add(DecodeProblem::BadTime, index);
        return std::nullopt;
    };
    if (text.size() < 6 || !allDigits(text.substr(0, 6))) return bad();
    if (text.size() > 6 && (text[6] != '.' || !(text.size() == 7 || allDigits(text.substr(7))))) return bad();
    const auto pair = [&](std::size_t at) { return (text[at] - '0') * 10 + (text[at + 1] - '0'); };
    UtcTime time;
    const int hours = pair(0), minutes = pair(2);
    const auto seconds = readNumber<double>(text.substr(4));
    if (hours > 23 || minutes > 59 || !seconds || *seconds >= 61.0) return bad();
    time.hours = static_cast<std::uint8_t>(hours);
    time.minutes = static_cast<std::uint8_t>(minutes);
    time.seconds = *seconds;
    return time;
}

// "ddmmyy" of RMC.
std::optional<UtcDate> readShortDate(const SentenceFields& fields, std::uint32_t index, DroppedFields& dropped)
{
    const std::string_view text = fields.field(index);
    if (text.empty()) return std::nullopt;
    if (text.size() != 6 || !allDigits(text)) {
        dropped.add(DecodeProblem::BadDate, index);
        return std::nullopt;
    }
    const auto pair = [&](std::size_t at) { return (text[at] - '0') * 10 + (text[at + 1] - '0'); };
    const int day = pair(0), month = pair(2), year = pair(4);
    if (day < 1 || day > 31 || month < 1 || month > 12) {
        dropped.add(DecodeProblem::BadDate, index);
        return std::nullopt;
    }
    // Two-digit years: receivers of the last century send 9x.
    return UtcDate{static_cast<std::uint16_t>(year >= 80 ? 1900 + year : 2000 + year),
                   static_cast<std::uint8_t>(month), static_cast<std::uint8_t>(day)};
}

// One coordinate "dddmm.mmmm" and its hemisphere letter. Minutes must be below 60 and the
// whole within maxDegrees.
struct Coordinate {
    double degrees;
    float degrees32;
};

std::optional<Coordinate> readCoordinate(std::string_view text, std::string_view hemisphere,
                                         double maxDegrees, char positive, char negative)
{
    const std::size_t dot = text.find('.');
    const std::string_view whole = text.substr(0, dot);
    const std::string_view fraction = dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
    if (dot == std::string_view::npos || whole.size() < 3 || whole.size() > 5 || !allDigits(whole)) return std::nullopt;
    if (!fraction.empty() && !allDigits(fraction)) return std::nullopt;
    if (hemisphere.size() != 1 || (hemisphere[0] != positive && hemisphere[0] != negative)) return std::nullopt;

    const auto minutes = readNumber<double>(text.substr(whole.size() - 2));
    const auto degrees = readInteger(whole.substr(0, whole.size() - 2));
    if (!minutes || !degrees || *minutes >= 60.0) return std::nullopt;
    const double magnitude = static_cast<double>(*degrees) + *minutes / 60.0;
    if (magnitude > maxDegrees) return std::nullopt;
    const float magnitude32 = NMEA::position(std::string(text), std::string(1, positive));
    const bool south = hemisphere[0] == negative;
    return Coordinate{south ? -magnitude : magnitude, south ? -magnitude32 : magnitude32};
}

// The four position fields from `first`. Nothing when all are empty. A position that is
// partly missing or cannot be a place on Earth is left out as a whole (one coordinate alone
// places nothing) and noted; the rest of the sentence still counts.
std::optional<GeoPosition> readPosition(const SentenceFields& fields, std::uint32_t first, DroppedFields& dropped)
{
    const std::string_view latitude = fields.field(first), longitude = fields.field(first + 2);
    const std::string_view north = fields.field(first + 1), east = fields.field(first + 3);
    if (latitude.empty() && longitude.empty() && north.empty() && east.empty()) return std::nullopt;
    for (std::uint32_t field = first; field < first + 4; ++field) {
        if (fields.field(field).empty()) {
            dropped.add(DecodeProblem::PartialPosition, field);
            return std::nullopt;
        }
    }
    const auto lat = readCoordinate(latitude, north, 90.0, 'N', 'S');
    if (!lat) {
        dropped.add(DecodeProblem::BadLatitude, first);
        return std::nullopt;
    }
    const auto lon = readCoordinate(longitude, east, 180.0, 'E', 'W');
    if (!lon) {
        dropped.add(DecodeProblem::BadLongitude, first + 2);
        return std::nullopt;
    }
    return GeoPosition{lat->degrees, lon->degrees, lat->degrees32, lon->degrees32};
}

char letter(const SentenceFields& fields, std::uint32_t index)
{
    const std::string_view text = fields.field(index);
    return text.size() == 1 ? text[0] : 0;
}

// The fields GGA and GNS share: 7 satellites used, 8 HDOP, 9 altitude, and the geoid
// separation (field 11 of GGA, 10 of GNS).
template <typename R>
void readFixQuality(const SentenceFields& fields, std::uint32_t geoidField, R& record)
{
    record.satellitesUsed = ranged<std::int32_t>(fields, 7, 0, 999, DecodeProblem::BadNumber, record.dropped);
    record.hdop = ranged<float>(fields, 8, 0.0f, limits::kMaxDop, DecodeProblem::BadDop, record.dropped);
    record.altitudeMeters = ranged<float>(fields, 9, limits::kMinAltitudeMeters, limits::kMaxAltitudeMeters,
                                          DecodeProblem::BadAltitude, record.dropped);
    record.geoidSeparationMeters =
        ranged<float>(fields, geoidField, -1000.0f, 1000.0f, DecodeProblem::BadAltitude, record.dropped);
}

// How every position sentence starts: its time and its position.
template <typename R>
void readPositionAndTime(const SentenceFields& fields, std::uint32_t positionField, std::uint32_t timeField,
                         R& record)
{
    record.time = readTime(fields, timeField, record.dropped);
    record.position = readPosition(fields, positionField, record.dropped);
}

Decoded refuse(DecodeProblem problem, std::uint32_t field = 0)
{
    return Decoded{std::nullopt, DecodeNote{problem, field}};
}

template <typename R>
Decoded accept(R&& record)
{
    const DecodeNote note = record.dropped.first;
    return Decoded{SentenceRecord(std::forward<R>(record)), note};
}

// A sentence shorter than its full form is taken as sent: the fields it lacks are absent,
// as receivers of older NMEA versions leave them off. Only GSV needs its first two fields,
// without which its satellites have no place in a cycle.
constexpr std::uint32_t kMinimumGSV = 3;

}  // namespace

std::string_view decodeProblemKey(DecodeProblem problem)
{
    switch (problem) {
    case DecodeProblem::None: return {};
    case DecodeProblem::UnknownType: return "DecodeUnknownType";
    case DecodeProblem::TooFewFields: return "DecodeTooFewFields";
    case DecodeProblem::BadTime: return "DecodeBadTime";
    case DecodeProblem::BadDate: return "DecodeBadDate";
    case DecodeProblem::BadLatitude: return "DecodeBadLatitude";
    case DecodeProblem::BadLongitude: return "DecodeBadLongitude";
    case DecodeProblem::PartialPosition: return "DecodePartialPosition";
    case DecodeProblem::BadSpeed: return "DecodeBadSpeed";
    case DecodeProblem::BadCourse: return "DecodeBadCourse";
    case DecodeProblem::BadDop: return "DecodeBadDop";
    case DecodeProblem::BadAltitude: return "DecodeBadAltitude";
    case DecodeProblem::BadSatellite: return "DecodeBadSatellite";
    case DecodeProblem::BadElevation: return "DecodeBadElevation";
    case DecodeProblem::BadAzimuth: return "DecodeBadAzimuth";
    case DecodeProblem::BadSnr: return "DecodeBadSnr";
    case DecodeProblem::BadNumber: return "DecodeBadNumber";
    }
    return {};
}

void DroppedFields::add(DecodeProblem problem, std::uint32_t field)
{
    if (field < 64) fields |= std::uint64_t{1} << field;
    if (!first) first = DecodeNote{problem, field};
}

Decoded decodeGGA(const SentenceFields& fields)
{
    GGA gga;
    readPositionAndTime(fields, 2, 1, gga);
    gga.fixQualityEmpty = fields.field(6).empty();
    gga.fixQuality = ranged<std::int32_t>(fields, 6, 0, 9, DecodeProblem::BadNumber, gga.dropped);
    if (gga.fixQuality == 0 || (!gga.fixQuality && !gga.fixQualityEmpty)) gga.position.reset();
    readFixQuality(fields, 11, gga);
    gga.dgpsAgeSeconds = ranged<float>(fields, 13, 0.0f, 99999.0f, DecodeProblem::BadNumber, gga.dropped);
    gga.dgpsStation = ranged<std::int32_t>(fields, 14, 0, 4095, DecodeProblem::BadNumber, gga.dropped);
    return accept(std::move(gga));
}

Decoded decodeRMC(const SentenceFields& fields)
{
    RMC rmc;
    readPositionAndTime(fields, 3, 1, rmc);
    rmc.status = letter(fields, 2);
    rmc.mode = letter(fields, 12);
    rmc.speedKnots = ranged<float>(fields, 7, 0.0f, limits::kMaxSpeedKnots, DecodeProblem::BadSpeed, rmc.dropped);
    rmc.courseDegrees = ranged<float>(fields, 8, 0.0f, 360.0f, DecodeProblem::BadCourse, rmc.dropped);
    rmc.date = readShortDate(fields, 9, rmc.dropped);
    // Speed and course of a void fix stay in the record, marked by the status: the window
    // shows them as not from a valid fix, the receiver state does not take them.
    if (!rmc.validFix()) rmc.position.reset();
    return accept(std::move(rmc));
}

Decoded decodeGLL(const SentenceFields& fields)
{
    GLL gll;
    readPositionAndTime(fields, 1, 5, gll);
    gll.status = letter(fields, 6);
    gll.mode = letter(fields, 7);
    if (gll.status == 'V' || gll.mode == 'N') gll.position.reset();
    return accept(std::move(gll));
}

Decoded decodeVTG(const SentenceFields& fields)
{
    VTG vtg;
    vtg.courseDegrees = ranged<float>(fields, 1, 0.0f, 360.0f, DecodeProblem::BadCourse, vtg.dropped);
    vtg.speedKnots = ranged<float>(fields, 5, 0.0f, limits::kMaxSpeedKnots, DecodeProblem::BadSpeed, vtg.dropped);
    vtg.speedKmh = ranged<float>(fields, 7, 0.0f, limits::kMaxSpeedKmh, DecodeProblem::BadSpeed, vtg.dropped);
    vtg.mode = letter(fields, 9);
    if (vtg.mode == 'N') {
        vtg.courseDegrees.reset();
        vtg.speedKnots.reset();
        vtg.speedKmh.reset();
    }
    return accept(std::move(vtg));
}

Decoded decodeGSA(const SentenceFields& fields)
{
    GSA gsa;
    gsa.stated = fields.has(2);
    gsa.talkerSystem = constellationOfTalker(fields.talker());
    // Some receivers put a DOP-like number here; only a whole system id counts.
    if (fields.has(18) && allDigits(fields.field(18)))
        gsa.system = constellationOfSystemId(readInteger(fields.field(18)).value_or(0));
    gsa.mode = letter(fields, 1);
    gsa.fixTypeEmpty = fields.field(2).empty();
    gsa.fixType = ranged<std::int32_t>(fields, 2, 1, 3, DecodeProblem::BadNumber, gsa.dropped);
    for (std::uint32_t i = 3; i <= 14; ++i) {
        const auto number = ranged<std::int32_t>(fields, i, 1, 999, DecodeProblem::BadSatellite, gsa.dropped);
        if (!number) continue;
        if (placeSatellite(gsa.system ? gsa.system : gsa.talkerSystem, *number))
            gsa.satellites.push_back(*number);
        else
            gsa.dropped.add(DecodeProblem::BadSatellite, i);
    }
    gsa.pdop = ranged<float>(fields, 15, 0.0f, limits::kMaxDop, DecodeProblem::BadDop, gsa.dropped);
    gsa.hdop = ranged<float>(fields, 16, 0.0f, limits::kMaxDop, DecodeProblem::BadDop, gsa.dropped);
    gsa.vdop = ranged<float>(fields, 17, 0.0f, limits::kMaxDop, DecodeProblem::BadDop, gsa.dropped);
    return accept(std::move(gsa));
}

Decoded decodeGSV(const SentenceFields& fields)
{
    if (fields.count() < kMinimumGSV) return refuse(DecodeProblem::TooFewFields);
    GSV gsv;
    gsv.talkerSystem = constellationOfTalker(fields.talker());
    DroppedFields& dropped = gsv.dropped;
    const auto total = ranged<std::int32_t>(fields, 1, 1, 9, DecodeProblem::BadNumber, dropped);
    const auto number = ranged<std::int32_t>(fields, 2, 1, 9, DecodeProblem::BadNumber, dropped);
    if (!total || !number || *number > *total) return refuse(DecodeProblem::BadNumber, total ? 2 : 1);
    gsv.total = *total;
    gsv.number = *number;
    gsv.inView = ranged<std::int32_t>(fields, 3, 0, 999, DecodeProblem::BadNumber, dropped);

    const std::uint32_t data = fields.count() > 4 ? fields.count() - 4 : 0;
    if (data % 4 == 1) {
        gsv.signalId = ranged<std::uint8_t>(fields, fields.count() - 1, 0, 15, DecodeProblem::BadNumber, dropped);
    }
    const std::uint32_t blocks = data / 4;
    for (std::uint32_t block = 0; block < blocks; ++block) {
        const std::uint32_t first = 4 + 4 * block;
        if (fields.field(first).empty()) continue;  // padding
        const auto satellite = ranged<std::int32_t>(fields, first, 1, 999, DecodeProblem::BadSatellite, dropped);
        if (!satellite) continue;
        if (!placeSatellite(gsv.talkerSystem, *satellite)) {
            dropped.add(DecodeProblem::BadSatellite, first);
            continue;
        }
        GSV::Block entry;
        entry.number = *satellite;
        entry.position = block;
        entry.elevationDegrees = ranged<std::int32_t>(fields, first + 1, 0, 90, DecodeProblem::BadElevation, dropped);
        entry.azimuthDegrees = ranged<std::int32_t>(fields, first + 2, 0, 359, DecodeProblem::BadAzimuth, dropped);
        entry.snrDbHz = ranged<std::int32_t>(fields, first + 3, 0, 99, DecodeProblem::BadSnr, dropped);
        gsv.satellites.push_back(entry);
    }
    return accept(std::move(gsv));
}

Decoded decodeGNS(const SentenceFields& fields)
{
    GNS gns;
    readPositionAndTime(fields, 2, 1, gns);
    const std::string_view modes = fields.field(6);
    bool anyFix = false;
    for (std::size_t i = 0; i < modes.size() && i < gns.modes.size(); ++i) {
        gns.modes[i] = modes[i];
        anyFix = anyFix || modes[i] != 'N';
    }
    if (!anyFix) gns.position.reset();
    readFixQuality(fields, 10, gns);
    return accept(std::move(gns));
}

Decoded decodeZDA(const SentenceFields& fields)
{
    ZDA zda;
    zda.time = readTime(fields, 1, zda.dropped);
    const auto day = ranged<std::int32_t>(fields, 2, 1, 31, DecodeProblem::BadDate, zda.dropped);
    const auto month = ranged<std::int32_t>(fields, 3, 1, 12, DecodeProblem::BadDate, zda.dropped);
    const auto year = ranged<std::int32_t>(fields, 4, 1980, 9999, DecodeProblem::BadDate, zda.dropped);
    if (day && month && year && fields.field(4).size() == 4)
        zda.date = UtcDate{static_cast<std::uint16_t>(*year), static_cast<std::uint8_t>(*month),
                           static_cast<std::uint8_t>(*day)};
    return accept(std::move(zda));
}

Decoded decodeHDT(const SentenceFields& fields)
{
    HDT hdt;
    hdt.headingDegrees = ranged<float>(fields, 1, 0.0f, 360.0f, DecodeProblem::BadCourse, hdt.dropped);
    return accept(std::move(hdt));
}
