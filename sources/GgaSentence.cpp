// SPDX-License-Identifier: BSD-2-Clause
#include "sources/GgaSentence.h"

#include <chrono>
#include <cmath>

#include "base/FormatText.h"

namespace {

// ddmm.mmmmm / dddmm.mmmmm with the minutes rounded once, so 59.999999' carries into the
// degrees instead of printing "60.00000".
std::string angle(double degrees, int degreeDigits)
{
    const long long total = std::llround(std::abs(degrees) * 60.0 * 100000.0);
    const long long whole = total / (60LL * 100000);
    const long long minutes = (total / 100000) % 60;
    const long long fraction = total % 100000;
    return formatText(degreeDigits == 2 ? "%02lld%02lld.%05lld" : "%03lld%02lld.%05lld", whole,
                      minutes, fraction);
}

}  // namespace

std::optional<std::string> GgaSentence::build(const GgaPosition& p)
{
    if (!std::isfinite(p.latitudeDegrees) || !std::isfinite(p.longitudeDegrees) ||
        !std::isfinite(p.altitudeMeters) || !std::isfinite(p.geoidSeparationMeters) ||
        std::abs(p.latitudeDegrees) > 90 || std::abs(p.longitudeDegrees) > 180 ||
        std::abs(p.altitudeMeters) > 100000 || std::abs(p.geoidSeparationMeters) > 1000)
        return std::nullopt;

    double seconds = 0;
    if (p.utcSecondsOfDay && std::isfinite(*p.utcSecondsOfDay) && *p.utcSecondsOfDay >= 0) {
        seconds = std::fmod(*p.utcSecondsOfDay, 86400.0);
    } else {
        const auto now = std::chrono::system_clock::now().time_since_epoch();
        seconds = std::fmod(std::chrono::duration<double>(now).count(), 86400.0);
    }
    const long long hundredths = std::llround(seconds * 100) % (86400LL * 100);
    const std::string time = formatText("%02lld%02lld%02lld.%02lld", hundredths / 360000,
                                        hundredths / 6000 % 60, hundredths / 100 % 60, hundredths % 100);

    const int quality = p.quality >= 0 && p.quality <= 9 ? p.quality : 1;
    const int satellites = p.satellites >= 0 && p.satellites <= 99 ? p.satellites : 0;
    const std::string hdop =
        p.hdop && std::isfinite(*p.hdop) && *p.hdop >= 0 && *p.hdop < 100 ? formatText("%.1f", *p.hdop) : "";

    const std::string body = formatText(
        "GPGGA,%s,%s,%c,%s,%c,%d,%02d,%s,%.1f,M,%.1f,M,,", time.c_str(),
        angle(p.latitudeDegrees, 2).c_str(), p.latitudeDegrees < 0 ? 'S' : 'N',
        angle(p.longitudeDegrees, 3).c_str(), p.longitudeDegrees < 0 ? 'W' : 'E', quality, satellites,
        hdop.c_str(), p.altitudeMeters, p.geoidSeparationMeters);
    std::uint8_t checksum = 0;
    for (const char c : body) checksum ^= static_cast<std::uint8_t>(c);
    return "$" + body + formatText("*%02X\r\n", checksum);
}
