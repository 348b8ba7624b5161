// SPDX-License-Identifier: BSD-2-Clause
#include "serial/ReceiverConfiguration.h"

#include <array>
#include <chrono>
#include <utility>

#include "binary/UbxCommands.h"
#include "binary/UbxMessages.h"
#include "platform/Alert.h"
#include "platform/Application.h"
#include "platform/Services.h"

namespace {

using Kind = ReceiverConfiguration::SettingKind;
using Setting = ReceiverConfiguration::Setting;

constexpr std::uint8_t kCfg = 0x06;
constexpr std::uint8_t kValSet = 0x8A;
constexpr std::uint8_t kValGet = 0x8B;
constexpr std::uint8_t kCfgCfg = 0x09;
constexpr std::uint32_t kUart1Baud = 0x40520001;

constexpr std::array kShown{
    Setting{0x30210001, Kind::Number, "ConfigMeasurementPeriod"},  // CFG-RATE-MEAS
    Setting{0x1031001f, Kind::OnOff, "GPS"},                       // CFG-SIGNAL-GPS_ENA
    Setting{0x10310021, Kind::OnOff, "Galileo"},                   // CFG-SIGNAL-GAL_ENA
    Setting{0x10310022, Kind::OnOff, "BeiDou"},                    // CFG-SIGNAL-BDS_ENA
    Setting{0x10310025, Kind::OnOff, "GLONASS"},                   // CFG-SIGNAL-GLO_ENA
    Setting{0x10310024, Kind::OnOff, "QZSS"},                      // CFG-SIGNAL-QZSS_ENA
    Setting{0x10310020, Kind::OnOff, "SBAS"},                      // CFG-SIGNAL-SBAS_ENA
    Setting{0x10740001, Kind::OnOff, "ConfigUart1Ubx"},            // CFG-UART1OUTPROT-UBX
    Setting{0x10740002, Kind::OnOff, "ConfigUart1Nmea"},           // CFG-UART1OUTPROT-NMEA
    Setting{0x10780001, Kind::OnOff, "ConfigUsbUbx"},              // CFG-USBOUTPROT-UBX
    Setting{0x10780002, Kind::OnOff, "ConfigUsbNmea"},             // CFG-USBOUTPROT-NMEA
    Setting{0x20910007, Kind::Number, "ConfigNavPvtUart1"},        // CFG-MSGOUT-UBX_NAV_PVT_UART1
    Setting{0x20910009, Kind::Number, "ConfigNavPvtUsb"},          // CFG-MSGOUT-UBX_NAV_PVT_USB
    Setting{0x209100bb, Kind::Number, "ConfigGgaUart1"},           // CFG-MSGOUT-NMEA_ID_GGA_UART1
    Setting{0x209100bd, Kind::Number, "ConfigGgaUsb"},             // CFG-MSGOUT-NMEA_ID_GGA_USB
    Setting{kUart1Baud, Kind::LineRate, "ConfigLineRate"},         // CFG-UART1-BAUDRATE
};

constexpr std::array<std::uint32_t, 9> kLineRates{4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600};

std::string text(const std::string& key, std::vector<std::string> arguments = {})
{
    return Alert::localizedStringWithKey(key, arguments);
}

std::string listed(const std::vector<binary::UbxConfigValue>& values)
{
    std::string what;
    for (const binary::UbxConfigValue& value : values)
        what += (what.empty() ? "" : ", ") + binary::formatUbxConfigValue(value);
    return what;
}

}  // namespace

std::span<const ReceiverConfiguration::Setting> ReceiverConfiguration::shownSettings() { return kShown; }

std::span<const std::uint32_t> ReceiverConfiguration::lineRates() { return kLineRates; }

ReceiverConfiguration::ReceiverConfiguration(Hooks hooks) : m_hooks(std::move(hooks)) {}

double ReceiverConfiguration::now() const
{
    if (m_hooks.now) return m_hooks.now();
    if (const platform::Clock* clock = platform::services().clock) return clock->now();
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void ReceiverConfiguration::say(const std::string& message, bool problem)
{
    if (m_hooks.message) m_hooks.message(message, problem);
}

void ReceiverConfiguration::notify()
{
    if (m_hooks.changed) m_hooks.changed();
}

std::optional<std::uint64_t> ReceiverConfiguration::value(std::uint32_t key) const
{
    const auto found = m_values.find(key);
    if (found == m_values.end()) return std::nullopt;
    return found->second;
}

void ReceiverConfiguration::readBack()
{
    Step step;
    step.kind = StepKind::Read;
    for (const Setting& setting : kShown) step.keys.push_back(setting.key);
    enqueue(std::move(step));
}

bool ReceiverConfiguration::apply(const std::vector<binary::UbxConfigValue>& values, bool save)
{
    // The line rate goes last and alone: the other values are confirmed at the rate they were
    // sent at, and what comes after the change is sent only once the receiver is heard again.
    std::vector<binary::UbxConfigValue> others;
    std::vector<binary::UbxConfigValue> rate;
    for (const binary::UbxConfigValue& value : values) (value.key == kUart1Baud ? rate : others).push_back(value);
    std::vector<Step> steps;
    for (std::vector<binary::UbxConfigValue>* part : {&others, &rate}) {
        if (part->empty()) continue;
        Step step;
        step.kind = StepKind::Write;
        step.frame = binary::ubxValSet(binary::ubxlayers::kRam, *part);
        if (step.frame.empty()) {
            say(text("ConfigRefused", {listed(*part)}), true);
            return false;
        }
        step.values = *part;
        step.messageId = kValSet;
        step.what = listed(*part);
        steps.push_back(std::move(step));
    }
    for (Step& step : steps) enqueue(std::move(step));
    if (save) this->save();
    return true;
}

void ReceiverConfiguration::save()
{
    Step step;
    step.kind = StepKind::Save;
    step.frame = binary::ubxSaveConfig();
    step.messageId = kCfgCfg;
    step.what = text("ConfigSaveWhat");
    enqueue(std::move(step));
}

void ReceiverConfiguration::resetToDefaults()
{
    // The factory line rate first: a reset that brings back another rate is followed.
    Step rate;
    rate.kind = StepKind::ReadDefaultRate;
    rate.keys = {kUart1Baud};
    enqueue(std::move(rate));
    Step reset;
    reset.kind = StepKind::Reset;
    reset.frame = binary::ubxResetToDefaults();
    reset.messageId = kCfgCfg;
    reset.what = text("ConfigResetWhat");
    enqueue(std::move(reset));
    Step read;
    read.kind = StepKind::ReadAfterReset;
    for (const Setting& setting : kShown) read.keys.push_back(setting.key);
    enqueue(std::move(read));
}

void ReceiverConfiguration::enqueue(Step step)
{
    if (step.kind == StepKind::Read || step.kind == StepKind::ReadDefaultRate || step.kind == StepKind::ReadAfterReset) {
        const binary::UbxLayer layer =
            step.kind == StepKind::ReadDefaultRate ? binary::UbxLayer::Default : binary::UbxLayer::Ram;
        step.frame = binary::ubxValGet(layer, step.keys);
        step.messageId = kValGet;
        step.what = text("ConfigReadWhat");
    }
    m_queue.push_back(std::move(step));
    sendNext();
    notify();
}

void ReceiverConfiguration::sendNext()
{
    if (m_active || m_follow || m_queue.empty()) return;
    m_active = std::move(m_queue.front());
    m_queue.pop_front();
    m_sentAt = now();
    if (m_hooks.send) m_hooks.send(m_active->frame);
}

void ReceiverConfiguration::finishActive()
{
    m_active.reset();
    sendNext();
    notify();
}

void ReceiverConfiguration::abandon()
{
    m_failed = true;
    m_active.reset();
    m_queue.clear();
    notify();
}

void ReceiverConfiguration::onUbxFrame(std::uint8_t messageClass, std::uint8_t messageId,
                                       std::span<const std::uint8_t> payload)
{
    if (messageClass != kCfg || messageId != kValGet) {
        const binary::UbxDecoded decoded = binary::decodeUbx(messageClass, messageId, payload);
        if (decoded.record) onUbxRecord(*decoded.record);
        return;
    }
    const std::optional<binary::UbxValGetResponse> response = binary::decodeUbxValGetResponse(payload);
    if (!response || m_follow || !m_active || m_active->messageId != kValGet) return;
    if (m_active->kind == StepKind::ReadDefaultRate) {
        for (const binary::UbxConfigValue& value : response->values)
            if (value.key == kUart1Baud) m_defaultLineRate = static_cast<std::uint32_t>(value.value);
    } else {
        takeValues(*response);
    }
    // The ACK that follows the answer is not waited for: the answer says more.
    finishActive();
}

void ReceiverConfiguration::onUbxRecord(const binary::UbxRecord& record)
{
    if (const auto* ack = std::get_if<binary::UbxAck>(&record)) onAck(*ack);
    // Only an answer proves the receiver hears the port at its rate and the port hears it.
    else if (m_follow && std::holds_alternative<binary::UbxMonVer>(record)) heard();
}

void ReceiverConfiguration::takeValues(const binary::UbxValGetResponse& response)
{
    for (const binary::UbxConfigValue& value : response.values) m_values[value.key] = value.value;
}

void ReceiverConfiguration::onAck(const binary::UbxAck& ack)
{
    if (!m_active || ack.messageClass != kCfg || ack.messageId != m_active->messageId) return;
    // A question is done with its answer; only its refusal is news.
    if (m_active->messageId == kValGet) {
        if (!ack.accepted) answered(false);
        return;
    }
    answered(ack.accepted);
}

void ReceiverConfiguration::answered(bool accepted)
{
    Step step = std::move(*m_active);
    m_active.reset();
    if (step.messageId == kValGet) {
        // A receiver refuses a whole question for one key it does not have: ask again key by
        // key, and leave out only what it refuses then.
        if (step.kind == StepKind::ReadDefaultRate) {
            m_defaultLineRate.reset();
        } else if (step.keys.size() > 1) {
            for (auto key = step.keys.rbegin(); key != step.keys.rend(); ++key) {
                Step single;
                single.kind = step.kind;
                single.keys = {*key};
                single.frame = binary::ubxValGet(binary::UbxLayer::Ram, single.keys);
                single.messageId = kValGet;
                single.what = step.what;
                m_queue.push_front(std::move(single));
            }
        } else if (!step.keys.empty()) {
            m_unsupported.insert(step.keys.front());
            m_values.erase(step.keys.front());
        }
        sendNext();
        notify();
        return;
    }
    if (!accepted) {
        say(text("ConfigRefused", {step.what}), true);
        abandon();
        return;
    }
    if (step.kind == StepKind::Reset) {
        say(text("ConfigResetDone"), false);
        m_values.clear();
        m_unsupported.clear();
        if (m_defaultLineRate && m_lineRate && *m_defaultLineRate != *m_lineRate)
            startFollowing(*m_lineRate, *m_defaultLineRate);
    } else {
        say(text("ConfigAccepted", {step.what}), false);
        for (const binary::UbxConfigValue& value : step.values) {
            m_values[value.key] = value.value;
            if (value.key == kUart1Baud && m_lineRate != value.value)
                startFollowing(m_lineRate.value_or(0), static_cast<std::uint32_t>(value.value));
        }
    }
    sendNext();
    notify();
}

void ReceiverConfiguration::startFollowing(std::uint32_t from, std::uint32_t to)
{
    const std::string newRate = std::to_string(to);
    if (!m_hooks.reopenAt || from == 0) {
        say(text("ConfigRateNotFollowed", {newRate}), true);
        abandon();
        return;
    }
    RateFollow follow{from, to, false, 0.0, -1e9};
    if (!m_hooks.reopenAt(to)) {
        say(text("ConfigReopenFailed", {newRate}), true);
        follow.fallingBack = true;
        if (!m_hooks.reopenAt(from)) {
            say(text("ConfigReopenFailed", {std::to_string(from)}), true);
            abandon();
            return;
        }
    }
    follow.deadline = now() + kHearSeconds;
    m_follow = follow;
    tick();
}

void ReceiverConfiguration::heard()
{
    const RateFollow follow = *m_follow;
    m_follow.reset();
    if (!follow.fallingBack) {
        m_lineRate = follow.to;
        say(text("ConfigRateFollowed", {std::to_string(follow.to)}), false);
        sendNext();
        notify();
        return;
    }
    m_lineRate = follow.from;
    say(text("ConfigRateFellBack", {std::to_string(follow.to), std::to_string(follow.from)}), true);
    abandon();
}

void ReceiverConfiguration::tick()
{
    const double time = now();
    if (m_follow) {
        RateFollow& follow = *m_follow;
        if (time >= follow.deadline) {
            if (follow.fallingBack) {
                const RateFollow lost = follow;
                m_follow.reset();
                m_lineRate = lost.from;
                say(text("ConfigRateLost", {std::to_string(lost.to), std::to_string(lost.from)}), true);
                abandon();
                return;
            }
            follow.fallingBack = true;
            if (!m_hooks.reopenAt(follow.from)) {
                const std::uint32_t from = follow.from;
                m_follow.reset();
                say(text("ConfigReopenFailed", {std::to_string(from)}), true);
                abandon();
                return;
            }
            follow.deadline = time + kHearSeconds;
            follow.lastProbe = -1e9;
        }
        // Asked again and again: the receiver may still be finishing at the old rate when the
        // first question goes out at the new one.
        if (time - follow.lastProbe >= kProbeSeconds) {
            follow.lastProbe = time;
            if (m_hooks.send) m_hooks.send(binary::ubxPollMonVer());
        }
        return;
    }
    if (m_active && time - m_sentAt >= kAnswerSeconds) {
        const std::string what = m_active->what;
        say(text("ConfigNoAnswer", {what}), true);
        abandon();
    }
}
