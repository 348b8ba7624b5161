// SPDX-License-Identifier: BSD-2-Clause
#include "app/CorrectionsStatusText.h"

#include "platform/Alert.h"
#include "base/FormatText.h"

namespace {

std::string text(const std::string& key, const std::vector<std::string>& arguments = {})
{
    return Alert::localizedStringWithKey(key, arguments);
}

// MSM blocks: 1071-1077 GPS, 1081 GLONASS, 1091 Galileo, 1101 SBAS, 1111 QZSS, 1121 BeiDou,
// 1131 NavIC.
const char* msmSystem(std::uint16_t type)
{
    switch ((type - 1071) / 10) {
    case 0: return "GPS";
    case 1: return "GLONASS";
    case 2: return "Galileo";
    case 3: return "SBAS";
    case 4: return "QZSS";
    case 5: return "BeiDou";
    case 6: return "NavIC";
    default: return nullptr;
    }
}

const char* stateKey(NtripStatus::State state)
{
    switch (state) {
    case NtripStatus::State::Stopped: return "corrections.state.stopped";
    case NtripStatus::State::Connecting: return "corrections.state.connecting";
    case NtripStatus::State::Streaming: return "corrections.state.streaming";
    case NtripStatus::State::Waiting: return "corrections.state.waiting";
    }
    return "corrections.state.stopped";
}

}  // namespace

std::string CorrectionsStatusText::messageName(std::uint16_t type)
{
    if (type >= 1071 && type <= 1137 && type % 10 >= 1 && type % 10 <= 7)
        if (const char* system = msmSystem(type)) return text("rtcm.msm", {system, std::to_string(type % 10)});
    switch (type) {
    case 1005:
    case 1006: return text("rtcm.basePosition");
    case 1007:
    case 1008: return text("rtcm.antenna");
    case 1033: return text("rtcm.receiverAndAntenna");
    case 1019: return text("rtcm.ephemeris", {"GPS"});
    case 1020: return text("rtcm.ephemeris", {"GLONASS"});
    case 1042: return text("rtcm.ephemeris", {"BeiDou"});
    case 1044: return text("rtcm.ephemeris", {"QZSS"});
    case 1045:
    case 1046: return text("rtcm.ephemeris", {"Galileo"});
    case 1230: return text("rtcm.glonassBiases");
    default: break;
    }
    if (type >= 4001 && type <= 4095) return text("rtcm.proprietary");
    return text("rtcm.other");
}

std::string CorrectionsStatusText::fixName(std::int32_t quality)
{
    switch (quality) {
    case 0: return text("corrections.fix.none");
    case 1: return text("corrections.fix.gps");
    case 2: return text("corrections.fix.dgps");
    case 4: return text("corrections.fix.rtkFixed");
    case 5: return text("corrections.fix.rtkFloat");
    case 6: return text("corrections.fix.estimated");
    default: return text("corrections.fix.other", {std::to_string(quality)});
    }
}

std::vector<CorrectionsRow> CorrectionsStatusText::rows(const CorrectionsStatus& status)
{
    std::vector<CorrectionsRow> rows;
    const auto add = [&rows](const char* key, std::string value, bool warning = false) {
        rows.push_back({key, text(key), std::move(value), warning});
    };
    const std::string unknown = text("corrections.none");

    add("corrections.caster", status.running ? status.caster : text("corrections.off"));
    if (status.running) {
        add("corrections.state", text(stateKey(status.state)),
            status.state == NtripStatus::State::Waiting);
        if (!status.lastMessage.empty())
            add("corrections.message", status.lastMessage.text(), status.state != NtripStatus::State::Streaming);
    }
    if (!status.secretNote.empty()) add("corrections.password", status.secretNote.text(), true);
    add("corrections.age", status.ageSeconds ? formatText("%.1f s", *status.ageSeconds) : unknown,
        status.ageSeconds && *status.ageSeconds > kStaleSeconds);
    add("corrections.station", status.stationId ? std::to_string(*status.stationId) : unknown);
    add("corrections.base",
        status.base ? formatText("X %.4f  Y %.4f  Z %.4f m", status.base->ecefXM, status.base->ecefYM, status.base->ecefZM)
                    : unknown);
    std::string baseline = unknown;
    if (status.baselineMeters)
        baseline = *status.baselineMeters >= 1000.0 ? formatText("%.3f km", *status.baselineMeters / 1000.0)
                                                    : formatText("%.3f m", *status.baselineMeters);
    add("corrections.baseline", baseline);
    add("corrections.fix", status.fixQuality ? fixName(*status.fixQuality) : unknown);
    if (status.running) add("corrections.gga", std::to_string(status.ggaSent));
    // Shown once the receiver says anything: many receivers never do.
    if (status.receiverUsed + status.receiverNotUsed + status.receiverBroken > 0)
        add("corrections.receiverUse",
            text("corrections.receiverUseCounts", {std::to_string(status.receiverUsed),
                                                    std::to_string(status.receiverNotUsed),
                                                    std::to_string(status.receiverBroken)}),
            status.receiverUsed == 0);
    if (status.framesDropped > 0) add("corrections.dropped", std::to_string(status.framesDropped), true);
    for (const CorrectionsStatus::MessageCount& count : status.messages) {
        std::string value = std::to_string(count.frames);
        if (count.perSecond) value += formatText("  (%.2f/s)", *count.perSecond);
        rows.push_back({"rtcm." + std::to_string(count.type),
                        std::to_string(count.type) + " " + messageName(count.type), std::move(value), false});
    }
    return rows;
}
