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

#include "base/Numbers.h"
#include "nmea/NMEA.h"

namespace {

constexpr double kMetersPerSecondPerKnot = 1852.0 / 3600.0;
// A point's fix as GPX names it; the first, empty, is none.
constexpr const char* kFixNames[] = {"", "2d", "3d", "dgps"};

std::optional<double> number(const std::optional<std::string>& text)
{
    if (!text || text->empty()) return std::nullopt;
    double value = 0;
    const char* end = text->data() + text->size();
    const auto [stop, failure] = std::from_chars(text->data(), end, value);
    if (failure != std::errc() || stop != end) return std::nullopt;
    return value;
}

// ddmm.mmmm and its hemisphere as signed degrees, in doubles: a track keeps every digit.
std::optional<double> coordinate(const std::optional<std::string>& text,
                                 const std::optional<std::string>& hemisphere, double limit)
{
    const auto value = number(text);
    if (!value || !hemisphere || *value < 0) return std::nullopt;
    const double degrees = static_cast<double>(static_cast<long>(*value / 100.0));
    const double minutes = *value - degrees * 100.0;
    if (minutes >= 60.0) return std::nullopt;
    double result = degrees + minutes / 60.0;
    if (*hemisphere == "S" || *hemisphere == "W")
        result = -result;
    else if (*hemisphere != "N" && *hemisphere != "E")
        return std::nullopt;
    if (result > limit || result < -limit) return std::nullopt;
    return result;
}

bool digits(const std::string& text, std::size_t count)
{
    if (text.size() < count) return false;
    for (std::size_t i = 0; i < count; ++i)
        if (text[i] < '0' || text[i] > '9') return false;
    return true;
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
    const auto type = NMEA::command(verified);
    if (!type) return;
    const auto field = [&](std::uint32_t i) { return NMEA::parse(verified, i); };
    std::lock_guard lock(m_mutex);

    if (*type == "GSA") {
        // $GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39 -- mode 2 or 3 and HDOP
        const auto mode = number(field(2));
        if (mode) m_gsaMode = static_cast<int>(*mode);
        m_gsaHdop = number(field(16));
        return;
    }
    if (*type != "RMC" && *type != "GGA") return;
    const auto time = field(1);
    if (!time || time->empty()) return;
    if (*time != m_cycle.time) {
        finishCycle();
        m_cycle.time = *time;
    }
    TrackPoint& point = m_cycle.point;

    if (*type == "RMC") {
        // $GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A
        // -- time, status, position, speed (knots), course, date ddmmyy
        const auto latitude = coordinate(field(3), field(4), 90.0);
        const auto longitude = coordinate(field(5), field(6), 180.0);
        if (field(2) != "A" || !latitude || !longitude) return;
        point.latitudeDegrees = *latitude;
        point.longitudeDegrees = *longitude;
        m_cycle.valid = true;
        if (const auto knots = number(field(7))) point.speedMetersPerSecond = *knots * kMetersPerSecondPerKnot;
        if (const auto course = number(field(8)); course && *course >= 0 && *course <= 360)
            point.courseDegrees = *course == 360 ? 0.0 : *course;
        const auto date = field(9);
        if (date && date->size() == 6 && digits(*date, 6)) {
            const int year = std::stoi(date->substr(4, 2));
            // Two-digit years: receivers of the last century are rare, their logs are not.
            m_date = std::to_string(year < 80 ? 2000 + year : 1900 + year) + "-"
                     + date->substr(2, 2) + "-" + date->substr(0, 2);
        }
    } else {
        // $GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47
        // -- time, position, quality, satellites used, HDOP, altitude (MSL)
        const auto quality = number(field(6));
        const auto latitude = coordinate(field(2), field(3), 90.0);
        const auto longitude = coordinate(field(4), field(5), 180.0);
        if (!quality || *quality < 1 || !latitude || !longitude) return;
        if (!m_cycle.valid) {
            point.latitudeDegrees = *latitude;
            point.longitudeDegrees = *longitude;
            m_cycle.valid = true;
        }
        if (*quality == 2) point.fix = "dgps";
        if (const auto used = number(field(7))) point.satellites = static_cast<int>(*used);
        point.hdop = number(field(8));
        point.altitudeMeters = number(field(9));
    }
    // Only a time of day that exists: a GPX reader refuses "24:61:99".
    if (!m_date.empty() && digits(*time, 6) && time->compare(0, 2, "24") < 0
        && time->compare(2, 2, "60") < 0 && time->compare(4, 2, "61") < 0)
        point.timeUtc = m_date + "T" + time->substr(0, 2) + ":" + time->substr(2, 2) + ":"
                        + time->substr(4, 2) + "Z";
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
