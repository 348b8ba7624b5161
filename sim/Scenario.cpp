// SPDX-License-Identifier: BSD-2-Clause
#include "sim/Scenario.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

#include <locale.h>

namespace sim {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kLapSeconds = 300.0;
constexpr double kStandstillSeconds = 2.0;  // at the start of each lap
constexpr double kMetresPerNauticalMile = 1852.0;
constexpr double kKilometresPerNauticalMile = 1.852;

// Sentences carry a decimal point whatever the desktop's locale: a German session must not
// write "1,2" for an HDOP of 1.2 with a valid checksum around it.
std::string format(const char* pattern, auto... values)
{
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    const locale_t previous = c ? uselocale(c) : static_cast<locale_t>(nullptr);
    char text[256];
    const int length = std::snprintf(text, sizeof text, pattern, values...);
    if (c) uselocale(previous);
    return std::string(text, static_cast<std::size_t>(std::clamp(length, 0, 255)));
}

// ddmm.mmmm / dddmm.mmmm with hemisphere; rounding carried into the degrees.
std::string coordinate(double degrees, int degreeDigits, char positive, char negative)
{
    const char hemisphere = degrees < 0 ? negative : positive;
    const long tenThousandthsOfMinute = std::lround(std::fabs(degrees) * 60.0 * 10000.0);
    const long wholeDegrees = tenThousandthsOfMinute / (60 * 10000);
    const long minutes = tenThousandthsOfMinute % (60 * 10000);
    return format("%0*ld%02ld.%04ld,%c", degreeDigits, wholeDegrees, minutes / 10000,
                  minutes % 10000, hemisphere);
}

// Course with two decimals; 359.996 must read 0.00, not 360.00.
std::string course(double degrees)
{
    long hundredths = std::lround(degrees * 100.0) % 36000;
    if (hundredths < 0) hundredths += 36000;
    return format("%ld.%02ld", hundredths / 100, hundredths % 100);
}

std::string timeOfDay(std::int64_t unixTime)
{
    const std::time_t t = static_cast<std::time_t>(unixTime);
    std::tm utc{};
    gmtime_r(&t, &utc);
    return format("%02d%02d%02d.000", utc.tm_hour, utc.tm_min, utc.tm_sec);
}

std::string date(std::int64_t unixTime)
{
    const std::time_t t = static_cast<std::time_t>(unixTime);
    std::tm utc{};
    gmtime_r(&t, &utc);
    return format("%02d%02d%02d", utc.tm_mday, utc.tm_mon + 1, utc.tm_year % 100);
}

}  // namespace

std::uint8_t checksumOf(std::string_view body)
{
    std::uint8_t checksum = 0;
    for (std::size_t i = 1; i < body.size(); ++i) checksum ^= static_cast<std::uint8_t>(body[i]);
    return checksum;
}

std::string withChecksum(const std::string& body)
{
    return body + format("*%02X\r\n", checksumOf(body));
}

std::uint64_t mix(std::uint64_t x)
{
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

double unit(std::uint64_t x)
{
    return static_cast<double>(mix(x) >> 11) / 9007199254740992.0;
}

Scenario::Scenario(std::uint32_t seed, bool noFixSpells)
    : m_seed(seed), m_noFixSpells(noFixSpells)
{
    // 2024-03-01 12:00:00 UTC, shifted by up to an hour by the seed.
    m_startTime = 1709294400 + static_cast<std::int64_t>(mix(seed) % 3600);

    // Thirteen distinct PRNs out of 1..32.
    std::vector<int> prns;
    for (std::uint64_t i = 0; prns.size() < 13; ++i) {
        const int prn = 1 + static_cast<int>(mix(seed * 977ull + i) % 32);
        if (std::find(prns.begin(), prns.end(), prn) == prns.end()) prns.push_back(prn);
    }
    const auto r = [seed](std::uint64_t k) { return unit(seed * 131ull + k); };
    for (std::size_t i = 0; i < prns.size(); ++i) {
        Orbit orbit{};
        orbit.prn = prns[i];
        orbit.phase = r(i * 7 + 1) * 2.0 * kPi;
        orbit.baseAzimuth = r(i * 7 + 2) * 360.0;
        orbit.azimuthDriftPerSecond = 0.002 + r(i * 7 + 3) * 0.01;
        orbit.snrBase = 30.0 + r(i * 7 + 4) * 15.0;
        if (i < 9) {
            // High satellites: always well above the horizon.
            orbit.baseElevation = 20.0 + r(i * 7 + 5) * 55.0;
            orbit.elevationSwing = 8.0;
        } else if (i < 12) {
            // Low satellites: dip below the horizon now and then, so 8 to 12 are in view.
            orbit.baseElevation = 5.0;
            orbit.elevationSwing = 9.0;
        } else {
            // The one that sets early in the run: 12 degrees, down 0.1 degree a second.
            orbit.baseElevation = 12.0;
            orbit.elevationSwing = 0.0;
            orbit.elevationDriftPerSecond = -0.1;
        }
        m_orbits.push_back(orbit);
    }

    m_state.latitudeDegrees = 48.1173 + unit(seed * 31ull + 1) * 0.05;
    m_state.longitudeDegrees = 11.5167 + unit(seed * 31ull + 2) * 0.05;
    m_state.courseDegrees = 300.0;
}

void Scenario::updateSky(double t, bool obstructed)
{
    std::vector<SatelliteView> views;
    for (const auto& orbit : m_orbits) {
        const double elevation = orbit.baseElevation + orbit.elevationDriftPerSecond * t
                                 + orbit.elevationSwing * std::sin(2.0 * kPi * t / 600.0 + orbit.phase);
        if (elevation < 0.0) continue;
        SatelliteView view;
        view.prn = orbit.prn;
        view.elevationDegrees = static_cast<int>(std::lround(elevation));
        double azimuth = std::fmod(orbit.baseAzimuth + orbit.azimuthDriftPerSecond * t, 360.0);
        view.azimuthDegrees = static_cast<int>(std::lround(azimuth)) % 360;
        if (elevation >= 3.0) {
            const double snr = orbit.snrBase + elevation / 10.0
                               + 3.0 * std::sin(t / 20.0 + orbit.phase);
            view.snr = std::clamp(static_cast<int>(std::lround(snr)), 0, 99);
        }
        views.push_back(view);
    }
    std::sort(views.begin(), views.end(),
              [](const SatelliteView& a, const SatelliteView& b) {
                  return a.elevationDegrees > b.elevationDegrees;
              });
    const std::size_t keep = obstructed ? 3 : 12;
    if (views.size() > keep) views.resize(keep);
    m_state.inView = views;
    m_state.used.clear();
    if (!obstructed)
        for (const auto& view : views)
            if (view.snr >= 30) m_state.used.push_back(view.prn);
}

const Scenario::State& Scenario::step()
{
    if (m_started) ++m_state.second;
    m_started = true;
    const std::uint64_t second = m_state.second;
    const double t = static_cast<double>(second);
    const double lap = std::fmod(t, kLapSeconds);
    const double jitter = unit(m_seed * 1000003ull + second) - 0.5;  // [-0.5, 0.5)

    double speed = 0.0;
    double heading = m_state.courseDegrees;
    // Moving within seconds of the start, so that a first look (or a screenshot) already
    // shows a course, which needs half a knot.
    if (lap < kStandstillSeconds) {
        speed = 0.0;
        heading = 300.0;
    } else if (lap < 70.0) {
        speed = 60.0 * (lap - kStandstillSeconds) / (70.0 - kStandstillSeconds);
        heading = 300.0;
    } else if (lap < 130.0) {
        speed = 60.0;
        heading = 300.0 + 2.0 * (lap - 70.0);  // through north at lap 100
    } else if (lap < 160.0) {
        speed = 60.0;
        heading = 60.0;
    } else if (lap < 220.0) {
        speed = 60.0;
        heading = 60.0 - 2.0 * (lap - 160.0);  // back through north at lap 190
    } else if (lap < 270.0) {
        speed = 60.0 - (60.0 - 0.3) * (lap - 220.0) / 50.0;
        heading = 300.0;
    } else if (lap < 285.0) {
        speed = 0.3;
        heading = 300.0;
    }
    if (speed > 5.0) {
        speed += 0.4 * jitter;
        heading += 0.8 * jitter;
    }
    heading = std::fmod(heading, 360.0);
    if (heading < 0.0) heading += 360.0;
    m_state.speedKnots = speed;
    m_state.courseDegrees = heading;

    // Move by one second of travel.
    const double metres = speed * kMetresPerNauticalMile / 3600.0;
    const double radians = heading * kPi / 180.0;
    const double metresPerDegreeLatitude = 111320.0;
    m_state.latitudeDegrees += metres * std::cos(radians) / metresPerDegreeLatitude;
    m_state.longitudeDegrees += metres * std::sin(radians)
                                / (metresPerDegreeLatitude
                                   * std::cos(m_state.latitudeDegrees * kPi / 180.0));
    m_state.altitudeMetres = 520.0 + 15.0 * std::sin(t / 90.0);
    m_state.unixTime = m_startTime + static_cast<std::int64_t>(second);

    const bool noFix = m_noFixSpells && lap >= 150.0 && lap < 170.0;
    updateSky(t, noFix);
    if (noFix || m_state.used.size() < 3) {
        m_state.fixQuality = 0;
        m_state.used.clear();
    } else {
        m_state.fixQuality = std::fmod(t, 200.0) >= 100.0 ? 2 : 1;
    }
    m_state.fixMode = 3;
    applyRestart();
    const double satellites = static_cast<double>(std::max<std::size_t>(m_state.used.size(), 1));
    m_state.hdop = std::round((0.7 + 6.0 / satellites) * 10.0) / 10.0;
    m_state.vdop = std::round((1.0 + 8.0 / satellites) * 10.0) / 10.0;
    m_state.pdop = std::round(std::hypot(m_state.hdop, m_state.vdop) * 10.0) / 10.0;
    return m_state;
}

void Scenario::restart(int resetConfiguration)
{
    if (resetConfiguration != 1 && resetConfiguration != 2 && resetConfiguration != 4 &&
        resetConfiguration != 8)
        return;
    m_restartConfiguration = resetConfiguration;
    m_restartSecond = m_started ? m_state.second + 1 : 0;
}

void Scenario::applyRestart()
{
    if (m_restartConfiguration == 0 || m_state.second < m_restartSecond) return;
    struct Times {
        double silent, acquired, fix2d, fix3d;
    };
    const Times times = m_restartConfiguration == 1   ? Times{0, 0, 2, 2}
                        : m_restartConfiguration == 2 ? Times{3, 10, 28, 28}
                                                      : Times{5, 20, 34, 38};
    const double since = static_cast<double>(m_state.second - m_restartSecond);
    if (since >= times.fix3d) {
        m_restartConfiguration = 0;
        return;
    }
    // Satellites come back one after another between the silent spell and `acquired`.
    const double count = static_cast<double>(std::max<std::size_t>(m_state.inView.size(), 1));
    for (std::size_t i = 0; i < m_state.inView.size(); ++i) {
        const double back = times.silent + (times.acquired - times.silent) * static_cast<double>(i) / count;
        if (since < back) m_state.inView[i].snr = -1;
    }
    if (since < times.fix2d) {
        m_state.fixQuality = 0;
        m_state.used.clear();
    } else {
        m_state.fixMode = 2;
    }
}

std::vector<std::string> Scenario::sentences(Sentence sentence) const
{
    const State& s = m_state;
    const bool fix = s.fixQuality > 0;
    const std::string lat = coordinate(s.latitudeDegrees, 2, 'N', 'S');
    const std::string lon = coordinate(s.longitudeDegrees, 3, 'E', 'W');
    const std::string time = timeOfDay(s.unixTime);
    std::vector<std::string> out;
    switch (sentence) {
    case Sentence::GGA: {
        const std::string dgps = s.fixQuality == 2 ? "2.0,0000" : ",0000";
        out.push_back(withChecksum(format("$GPGGA,%s,%s,%s,%d,%02zu,%.1f,%.1f,M,47.9,M,%s",
                                          time.c_str(), lat.c_str(), lon.c_str(), s.fixQuality,
                                          s.used.size(), s.hdop, s.altitudeMetres,
                                          dgps.c_str())));
        break;
    }
    case Sentence::GLL:
        out.push_back(withChecksum(format("$GPGLL,%s,%s,%s,%c,%c", lat.c_str(), lon.c_str(),
                                          time.c_str(), fix ? 'A' : 'V',
                                          fix ? (s.fixQuality == 2 ? 'D' : 'A') : 'N')));
        break;
    case Sentence::GSA: {
        std::string body = format("$GPGSA,A,%d", fix ? s.fixMode : 1);
        for (std::size_t i = 0; i < 12; ++i)
            body += i < s.used.size() ? format(",%02d", s.used[i]) : std::string(",");
        body += format(",%.1f,%.1f,%.1f", s.pdop, s.hdop, s.vdop);
        out.push_back(withChecksum(body));
        break;
    }
    case Sentence::GSV: {
        const std::size_t count = s.inView.size();
        const std::size_t total = std::max<std::size_t>(1, (count + 3) / 4);
        for (std::size_t n = 0; n < total; ++n) {
            std::string body = format("$GPGSV,%zu,%zu,%02zu", total, n + 1, count);
            for (std::size_t i = n * 4; i < std::min(count, n * 4 + 4); ++i) {
                const auto& v = s.inView[i];
                body += format(",%02d,%02d,%03d,", v.prn, v.elevationDegrees, v.azimuthDegrees);
                if (v.snr >= 0) body += format("%02d", v.snr);
            }
            out.push_back(withChecksum(body));
        }
        break;
    }
    case Sentence::RMC:
        out.push_back(withChecksum(format("$GPRMC,%s,%c,%s,%s,%.2f,%s,%s,,,%c", time.c_str(),
                                          fix ? 'A' : 'V', lat.c_str(), lon.c_str(),
                                          s.speedKnots, course(s.courseDegrees).c_str(),
                                          date(s.unixTime).c_str(),
                                          fix ? (s.fixQuality == 2 ? 'D' : 'A') : 'N')));
        break;
    case Sentence::VTG:
        out.push_back(withChecksum(format("$GPVTG,%s,T,,M,%.2f,N,%.2f,K,%c",
                                          course(s.courseDegrees).c_str(), s.speedKnots,
                                          s.speedKnots * kKilometresPerNauticalMile,
                                          fix ? (s.fixQuality == 2 ? 'D' : 'A') : 'N')));
        break;
    }
    return out;
}

}  // namespace sim
