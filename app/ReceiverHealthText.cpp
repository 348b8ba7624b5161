// SPDX-License-Identifier: BSD-2-Clause
#include "app/ReceiverHealthText.h"

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string_view>

#include "platform/Alert.h"
#include "nmea/Constellation.h"

namespace {

std::string text(const char* key)
{
    return Alert::localizedStringWithKey(key);
}

// The receiver's own strings are fixed-width ASCII fields; anything else (a control
// character, a byte of a damaged frame) must not reach the label as layout or markup.
std::string printable(std::string_view raw)
{
    std::string out;
    out.reserve(raw.size());
    for (const char c : raw) {
        const auto byte = static_cast<unsigned char>(c);
        out += (byte >= 0x20 && byte < 0x7F) ? c : '?';
    }
    const auto last = out.find_last_not_of(' ');
    out.erase(last == std::string::npos ? 0 : last + 1);
    return out;
}

ReceiverHealthRow row(const char* key, std::string value, HealthLevel level)
{
    return {key, text(key), std::move(value), level};
}

ReceiverHealthRow unknownRow(const char* key, const char* why)
{
    return row(key, text(why), HealthLevel::Unknown);
}

// The version report's own names for its systems.
std::optional<std::string_view> systemName(std::string_view token)
{
    if (token == "GPS") return constellationName(Constellation::GPS);
    if (token == "GLO") return constellationName(Constellation::GLONASS);
    if (token == "GAL") return constellationName(Constellation::Galileo);
    if (token == "BDS") return constellationName(Constellation::BeiDou);
    if (token == "QZSS") return constellationName(Constellation::QZSS);
    if (token == "SBAS") return constellationName(Constellation::SBAS);
    if (token == "NAVIC" || token == "IRNSS") return constellationName(Constellation::NavIC);
    if (token == "IMES") return std::string_view("IMES");
    return std::nullopt;
}

// The systems of one extension entry, or nothing when it is not a list of systems
// ("FWVER=HPG 1.32", "ROM BASE 0x118B2060").
std::optional<std::vector<std::string_view>> systemsOf(std::string_view entry)
{
    std::vector<std::string_view> names;
    while (!entry.empty()) {
        const auto end = entry.find(';');
        const auto name = systemName(entry.substr(0, end));
        if (!name) return std::nullopt;
        names.push_back(*name);
        entry = end == std::string_view::npos ? std::string_view() : entry.substr(end + 1);
    }
    if (names.empty()) return std::nullopt;
    return names;
}

bool shownElsewhere(std::string_view entry)
{
    for (const std::string_view prefix : {"FWVER=", "PROTVER=", "MOD="})
        if (entry.substr(0, prefix.size()) == prefix) return true;
    return systemsOf(entry).has_value();
}

std::string joined(const std::vector<std::string>& parts, std::string_view separator)
{
    std::string out;
    for (const std::string& part : parts) {
        if (!out.empty()) out += separator;
        out += part;
    }
    return out;
}

ReceiverHealthRow jammingRow(const std::optional<binary::UbxJammingState>& jamming)
{
    constexpr const char* key = "health.jamming";
    if (!jamming) return unknownRow(key, "health.unknown.monitorOff");
    switch (*jamming) {
    case binary::UbxJammingState::Ok: return row(key, text("health.jamming.ok"), HealthLevel::Good);
    case binary::UbxJammingState::Warning:
        return row(key, text("health.jamming.warning"), HealthLevel::Warning);
    case binary::UbxJammingState::Critical:
        return row(key, text("health.jamming.critical"), HealthLevel::Critical);
    case binary::UbxJammingState::Unknown: break;
    }
    // The receiver sends 0 both when it cannot tell and when its detector is switched off.
    return unknownRow(key, "health.unknown.jammingOff");
}

ReceiverHealthRow antennaRow(const std::optional<binary::UbxAntennaStatus>& antenna)
{
    constexpr const char* key = "health.antenna";
    if (!antenna) return unknownRow(key, "health.unknown.monitorOff");
    switch (*antenna) {
    case binary::UbxAntennaStatus::Ok: return row(key, text("health.antenna.ok"), HealthLevel::Good);
    // An open circuit is also what a passive antenna looks like to a supervisor set up for an
    // active one, so it warns; a short circuit is never right.
    case binary::UbxAntennaStatus::Open: return row(key, text("health.antenna.open"), HealthLevel::Warning);
    case binary::UbxAntennaStatus::Short:
        return row(key, text("health.antenna.short"), HealthLevel::Critical);
    case binary::UbxAntennaStatus::Init: return row(key, text("health.antenna.init"), HealthLevel::Unknown);
    case binary::UbxAntennaStatus::DontKnow: break;
    }
    return unknownRow(key, "health.unknown.supervisorOff");
}

ReceiverHealthRow antennaPowerRow(const std::optional<binary::UbxAntennaPower>& power)
{
    constexpr const char* key = "health.antennaPower";
    if (!power) return unknownRow(key, "health.unknown.monitorOff");
    switch (*power) {
    case binary::UbxAntennaPower::On: return row(key, text("health.power.on"), HealthLevel::Plain);
    case binary::UbxAntennaPower::Off: return row(key, text("health.power.off"), HealthLevel::Plain);
    case binary::UbxAntennaPower::DontKnow: break;
    }
    return unknownRow(key, "health.unknown.supervisorOff");
}

ReceiverHealthRow spoofingRow(const std::optional<binary::UbxSpoofingState>& spoofing)
{
    constexpr const char* key = "health.spoofing";
    if (!spoofing) return unknownRow(key, "health.unknown.monitorOff");
    switch (*spoofing) {
    case binary::UbxSpoofingState::None: return row(key, text("health.spoofing.none"), HealthLevel::Good);
    case binary::UbxSpoofingState::Indicated:
        return row(key, text("health.spoofing.indicated"), HealthLevel::Warning);
    case binary::UbxSpoofingState::Multiple:
        return row(key, text("health.spoofing.multiple"), HealthLevel::Critical);
    case binary::UbxSpoofingState::Unknown: break;
    }
    // Firmware without the detector reports the same as firmware with it switched off.
    return unknownRow(key, "health.unknown.spoofingOff");
}

}  // namespace

std::vector<std::string> ReceiverHealthText::supportedSystems(const std::vector<std::string>& extensions)
{
    std::vector<std::string> systems;
    for (const std::string& entry : extensions) {
        const auto names = systemsOf(entry);
        if (!names) continue;
        for (const std::string_view name : *names)
            if (std::find(systems.begin(), systems.end(), name) == systems.end()) systems.emplace_back(name);
    }
    return systems;
}

std::vector<ReceiverHealthRow> ReceiverHealthText::rows(const ReceiverHealth& health)
{
    // The version report came when it gave its software line (the one field every receiver
    // fills); a field missing from a report that came is one this receiver does not give.
    const bool versionCame = health.software.has_value();
    const auto identity = [&](const char* key, const std::optional<std::string>& value) {
        if (value) return row(key, printable(*value), HealthLevel::Plain);
        return unknownRow(key, versionCame ? "health.unknown.notReported" : "health.unknown.noVersion");
    };

    std::vector<ReceiverHealthRow> rows;
    rows.push_back(identity("health.model", health.model));
    rows.push_back(identity("health.firmware", health.firmware));
    rows.push_back(identity("health.protocol", health.protocolVersion));
    const std::vector<std::string> systems = supportedSystems(health.extensions);
    rows.push_back(identity("health.systems",
                            systems.empty() ? std::nullopt : std::optional<std::string>(joined(systems, ", "))));
    rows.push_back(identity("health.software", health.software));
    rows.push_back(identity("health.hardware", health.hardware));
    std::vector<std::string> details;
    for (const std::string& entry : health.extensions)
        if (!shownElsewhere(entry)) details.push_back(printable(entry));
    details.erase(std::remove(details.begin(), details.end(), std::string()), details.end());
    if (!details.empty()) rows.push_back(row("health.details", joined(details, "; "), HealthLevel::Plain));

    rows.push_back(jammingRow(health.jamming));
    if (health.jamIndicator)
        rows.push_back(row("health.jamIndicator",
                           Alert::localizedStringWithKey("health.jamIndicator.value",
                                                         {std::to_string(*health.jamIndicator)}),
                           HealthLevel::Plain));
    else
        rows.push_back(unknownRow("health.jamIndicator", "health.unknown.monitorOff"));
    if (health.agcCount) {
        constexpr int kAgcFullScale = 8191;
        const int agc = *health.agcCount;
        // The share of the gain control's range is what the receiver's own tools show; a
        // count outside that range gets no share that would look meaningful.
        const int percent = (agc * 100 + kAgcFullScale / 2) / kAgcFullScale;
        rows.push_back(row("health.agc",
                           agc >= 0 && agc <= kAgcFullScale
                               ? Alert::localizedStringWithKey("health.agc.value",
                                                               {std::to_string(agc), std::to_string(percent)})
                               : std::to_string(agc),
                           HealthLevel::Plain));
    } else {
        rows.push_back(unknownRow("health.agc", "health.unknown.monitorOff"));
    }
    if (health.noisePerMs)
        rows.push_back(row("health.noise", std::to_string(*health.noisePerMs), HealthLevel::Plain));
    else
        rows.push_back(unknownRow("health.noise", "health.unknown.monitorOff"));
    rows.push_back(antennaRow(health.antenna));
    rows.push_back(antennaPowerRow(health.antennaPower));
    rows.push_back(spoofingRow(health.spoofing));
    return rows;
}
