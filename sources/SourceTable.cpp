// SPDX-License-Identifier: BSD-2-Clause
#include "sources/SourceTable.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>

namespace {

// Fields split at ';' except inside double quotes, where a semicolon may be part of the text.
std::vector<std::string_view> splitFields(std::string_view line)
{
    std::vector<std::string_view> fields;
    bool quoted = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"') quoted = !quoted;
        else if (line[i] == ';' && !quoted) {
            fields.push_back(line.substr(start, i - start));
            start = i + 1;
        }
    }
    fields.push_back(line.substr(start));
    return fields;
}

std::optional<double> number(std::string_view text)
{
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end == text.data() || !std::isfinite(value)) return std::nullopt;
    return value;
}

int integer(std::string_view text)
{
    int value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

}  // namespace

SourceTable SourceTable::parse(std::string_view text)
{
    SourceTable table;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.starts_with("ENDSOURCETABLE")) {
            table.complete = true;
            break;
        }
        if (line.starts_with("CAS;")) {
            ++table.casterRecords;
            continue;
        }
        if (line.starts_with("NET;")) {
            ++table.networkRecords;
            continue;
        }
        if (!line.starts_with("STR;")) continue;
        const auto fields = splitFields(line);
        if (fields.size() < 12 || fields[1].empty()) continue;
        Mountpoint m;
        m.name = std::string(fields[1]);
        m.identifier = std::string(fields[2]);
        m.format = std::string(fields[3]);
        m.formatDetails = std::string(fields[4]);
        m.carrier = integer(fields[5]);
        m.navSystem = std::string(fields[6]);
        m.network = std::string(fields[7]);
        m.country = std::string(fields[8]);
        const auto latitude = number(fields[9]);
        const auto longitude = number(fields[10]);
        if (latitude && longitude && std::abs(*latitude) <= 90 && std::abs(*longitude) <= 360 &&
            (*latitude != 0 || *longitude != 0)) {
            m.latitude = latitude;
            // Some tables give east longitudes as 0-360.
            m.longitude = *longitude > 180 ? *longitude - 360 : *longitude;
        }
        m.nmeaRequired = fields[11] == "1";
        if (fields.size() > 12) m.networkSolution = fields[12] == "1";
        if (fields.size() > 13) m.generator = std::string(fields[13]);
        if (fields.size() > 15) m.authentication = std::string(fields[15]);
        if (fields.size() > 16) m.fee = fields[16] == "Y";
        if (fields.size() > 17) m.bitrate = integer(fields[17]);
        table.mountpoints.push_back(std::move(m));
    }
    return table;
}

const Mountpoint* SourceTable::find(std::string_view name) const
{
    for (const auto& m : mountpoints)
        if (m.name == name) return &m;
    return nullptr;
}

double SourceTable::distanceKm(double latitude1, double longitude1, double latitude2, double longitude2)
{
    constexpr double kRadiusKm = 6371.0088;
    constexpr double kRadians = std::numbers::pi / 180.0;
    const double dLat = (latitude2 - latitude1) * kRadians;
    const double dLon = (longitude2 - longitude1) * kRadians;
    const double a = std::sin(dLat / 2) * std::sin(dLat / 2) +
                     std::cos(latitude1 * kRadians) * std::cos(latitude2 * kRadians) *
                         std::sin(dLon / 2) * std::sin(dLon / 2);
    return 2 * kRadiusKm * std::asin(std::min(1.0, std::sqrt(a)));
}

std::vector<Mountpoint> SourceTable::sortedByDistance(double latitude, double longitude) const
{
    std::vector<Mountpoint> sorted = mountpoints;
    for (auto& m : sorted)
        if (m.latitude && m.longitude)
            m.distanceKm = distanceKm(latitude, longitude, *m.latitude, *m.longitude);
    std::stable_sort(sorted.begin(), sorted.end(), [](const Mountpoint& a, const Mountpoint& b) {
        if (a.distanceKm && b.distanceKm) return *a.distanceKm < *b.distanceKm;
        return a.distanceKm.has_value() && !b.distanceKm.has_value();
    });
    return sorted;
}
