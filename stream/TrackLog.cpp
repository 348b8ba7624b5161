// SPDX-License-Identifier: BSD-2-Clause
#include "stream/TrackLog.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <charconv>
#include <cstring>
#include <fstream>
#include <limits>
#include <variant>

#include "base/Numbers.h"
#include "nmea/NMEA.h"
#include "nmea/SentenceFields.h"
#include "stream/SentencePipeline.h"

namespace {

constexpr double kMetersPerSecondPerKnot = 1852.0 / 3600.0;
// A point's fix as GPX names it; the first, empty, is none.
constexpr const char* kFixNames[] = {"", "2d", "3d", "dgps"};

// A value the decoder accepted, read again from its text in double. The records keep
// speed, course, altitude and HDOP as float, some seven digits: an altitude of 10000.35 m
// would come back as 10000.3496 and be exported as 10000.3.
std::optional<double> exact(const std::optional<float>& accepted, const SentenceFields& fields,
                            std::uint32_t index)
{
    if (!accepted) return std::nullopt;
    std::string_view text = fields.field(index);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    double value = 0;
    const auto [stop, failure] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (failure != std::errc() || stop != text.data() + text.size()) return static_cast<double>(*accepted);
    return value;
}

// The reader hands on every sentence; only the three a track uses are worth decoding. The
// pipeline still decides what each one is.
bool mayBeTrackSentence(const ByteBuffer& sentence)
{
    if (sentence.size() < 6) return false;
    const std::string_view type(reinterpret_cast<const char*>(sentence.data()) + 3, 3);
    return type == "GGA" || type == "RMC" || type == "GSA";
}

}  // namespace

void TrackLog::finishCycle()
{
    if (m_cycle.valid) {
        TrackPoint& point = m_cycle.point;
        if (point.fix.empty() || point.fix == "3d" || point.fix == "2d") {
            if (m_gsaMode == 3 || m_gsaMode == 2) point.fix = *m_gsaMode == 3 ? "3d" : "2d";
            else if (point.fix.empty()) point.fix = point.altitudeMeters ? "3d" : "2d";
        }
        if (!point.hdop) point.hdop = m_gsaHdop;
        if (m_points.size() < kMaxPoints)
            m_points.push_back(pack(point));
        else
            ++m_notKept;
    }
    m_cycle = Cycle{};
}

void TrackLog::addSentence(const ByteBuffer& verified)
{
    if (!mayBeTrackSentence(verified)) return;
    const LineResult decoded = SentencePipeline::decodeVerified(verified);
    if (!decoded.record) return;
    const auto* gga = std::get_if<GGA>(&*decoded.record);
    const auto* rmc = std::get_if<RMC>(&*decoded.record);
    const auto* gsa = std::get_if<GSA>(&*decoded.record);
    if (!gga && !rmc && !gsa) return;
    // For the texts of the values a float would round, and of a refused time.
    const auto fields = SentenceFields::split(decoded.line);
    if (!fields) return;
    std::lock_guard lock(m_mutex);

    if (gsa) {
        // $GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1 -- fix type 2 or 3 and HDOP
        if (gsa->fixType)
            m_gsaMode = *gsa->fixType;
        else if (gsa->dropped.has(2))
            m_gsaMode.reset();
        m_gsaHdop = exact(gsa->hdop, *fields, 16);
        return;
    }
    const std::optional<UtcTime>& utc = rmc ? rmc->time : gga->time;
    const std::string_view refusedTime = utc ? std::string_view() : fields->field(1);
    if (!utc && refusedTime.empty()) return;
    if (utc != m_cycle.time || refusedTime != m_cycle.refusedTime) {
        finishCycle();
        m_cycle.time = utc;
        m_cycle.refusedTime = refusedTime;
    }
    TrackPoint& point = m_cycle.point;

    if (rmc) {
        // $GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W
        // -- time, status, position, speed (knots), course, date
        if (rmc->status != 'A' || !rmc->position) return;
        point.latitudeDegrees = rmc->position->latitudeDegrees;
        point.longitudeDegrees = rmc->position->longitudeDegrees;
        m_cycle.valid = true;
        if (const auto knots = exact(rmc->speedKnots, *fields, 7))
            point.speedMetersPerSecond = *knots * kMetersPerSecondPerKnot;
        if (const auto course = exact(rmc->courseDegrees, *fields, 8))
            point.courseDegrees = *course == 360 ? 0.0 : *course;
        if (rmc->date) {
            char date[16];
            std::snprintf(date, sizeof date, "%04u-%02u-%02u", unsigned{rmc->date->year},
                          unsigned{rmc->date->month}, unsigned{rmc->date->day});
            m_date = date;
        }
    } else {
        // $GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,
        // -- time, position, quality, satellites used, HDOP, altitude (MSL)
        if (!gga->fixQuality || *gga->fixQuality < 1 || !gga->position) return;
        if (!m_cycle.valid) {
            point.latitudeDegrees = gga->position->latitudeDegrees;
            point.longitudeDegrees = gga->position->longitudeDegrees;
            m_cycle.valid = true;
        }
        if (*gga->fixQuality == 2) point.fix = "dgps";
        if (gga->satellitesUsed) point.satellites = *gga->satellitesUsed;
        point.hdop = exact(gga->hdop, *fields, 8);
        point.altitudeMeters = exact(gga->altitudeMeters, *fields, 9);
    }
    // The decoder leaves out a time of day that does not exist: a GPX reader refuses
    // "24:61:99".
    if (!m_date.empty() && utc) {
        char text[32];
        std::snprintf(text, sizeof text, "T%02u:%02u:%02uZ", unsigned{utc->hours}, unsigned{utc->minutes},
                      static_cast<unsigned>(utc->seconds));
        point.timeUtc = m_date + text;
    }
}

TrackLog::StoredPoint TrackLog::pack(const TrackPoint& point)
{
    constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
    StoredPoint stored{point.latitudeDegrees,
                       point.longitudeDegrees,
                       point.altitudeMeters.value_or(kNone),
                       point.speedMetersPerSecond.value_or(kNone),
                       point.courseDegrees.value_or(kNone),
                       point.hdop.value_or(kNone),
                       0,
                       0,
                       static_cast<std::int16_t>(point.satellites && *point.satellites >= 0
                                                     ? std::min(*point.satellites, 32767)
                                                     : -1),
                       0};
    // "2024-03-01T12:21:11Z", as made by addSentence.
    const std::string& t = point.timeUtc;
    if (t.size() == 20) {
        const auto number = [&](std::size_t at, std::size_t count) {
            return digitsValue<std::uint32_t>(std::string_view(t).substr(at, count)).value_or(0);
        };
        stored.date = number(0, 4) * 10000 + number(5, 2) * 100 + number(8, 2);
        stored.time = number(11, 2) * 10000 + number(14, 2) * 100 + number(17, 2);
    }
    for (std::uint8_t i = 0; i < std::size(kFixNames); ++i)
        if (point.fix == kFixNames[i]) stored.fix = i;
    return stored;
}

TrackPoint TrackLog::unpack(const StoredPoint& stored)
{
    const auto value = [](double number) { return std::isnan(number) ? std::nullopt : std::optional<double>(number); };
    TrackPoint point;
    point.latitudeDegrees = stored.latitudeDegrees;
    point.longitudeDegrees = stored.longitudeDegrees;
    point.altitudeMeters = value(stored.altitudeMeters);
    point.speedMetersPerSecond = value(stored.speedMetersPerSecond);
    point.courseDegrees = value(stored.courseDegrees);
    point.hdop = value(stored.hdop);
    if (stored.satellites >= 0) point.satellites = stored.satellites;
    point.fix = kFixNames[stored.fix];
    if (stored.date != 0) {
        char text[64];
        std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02uZ", stored.date / 10000,
                      stored.date / 100 % 100, stored.date % 100, stored.time / 10000,
                      stored.time / 100 % 100, stored.time % 100);
        point.timeUtc = text;
    }
    return point;
}

std::vector<TrackPoint> TrackLog::points() const
{
    std::lock_guard lock(m_mutex);
    std::vector<TrackPoint> all;
    all.reserve(m_points.size() + 1);
    for (const StoredPoint& stored : m_points) all.push_back(unpack(stored));
    // The cycle in progress, completed on a copy.
    TrackLog pending;
    pending.m_cycle = m_cycle;
    pending.m_gsaMode = m_gsaMode;
    pending.m_gsaHdop = m_gsaHdop;
    pending.finishCycle();
    if (!pending.m_points.empty() && all.size() < kMaxPoints) all.push_back(unpack(pending.m_points.front()));
    return all;
}

std::size_t TrackLog::pointsNotKept() const
{
    std::lock_guard lock(m_mutex);
    return m_notKept;
}

std::optional<std::vector<TrackPoint>> TrackLog::fromLog(const std::string& path,
                                                        std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": " + std::strerror(errno);
        return std::nullopt;
    }
    TrackLog track;
    char line[512];
    for (;;) {
        in.getline(line, sizeof line);
        if (in.eof() && in.gcount() == 0) break;
        if (in.fail() && !in.eof()) {
            // Longer than any sentence: skip the rest of it.
            in.clear();
            in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
            continue;
        }
        ByteBuffer bytes(line, line + std::strlen(line));
        bytes.push_back('\n');
        bytes.push_back(0);
        if (NMEA::checkSumValid(bytes)) track.addSentence(bytes);
        if (in.eof()) break;
    }
    return track.points();
}
