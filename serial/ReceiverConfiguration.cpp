// SPDX-License-Identifier: BSD-2-Clause
#include "serial/ReceiverConfiguration.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <utility>

#include "binary/UbxCommands.h"
#include "binary/UbxMessages.h"
#include "serial/LegacyConfigurationPlan.h"
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
constexpr std::uint32_t kRateMeas = 0x30210001;

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

std::vector<std::uint32_t> shownKeys()
{
    std::vector<std::uint32_t> keys;
    for (const Setting& setting : kShown) keys.push_back(setting.key);
    return keys;
}

bool writesLineRate(const ConfigurationStep& step)
{
    for (const binary::UbxConfigValue& value : step.values)
        if (value.key == kUart1Baud) return true;
    return false;
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

void ReceiverConfiguration::readBack() { request({Operation::Kind::ReadBack, {}}); }

bool ReceiverConfiguration::apply(const std::vector<binary::UbxConfigValue>& values, bool save)
{
    // Whatever the dialect, a value must fit its key.
    for (const binary::UbxConfigValue& value : values) {
        if (binary::ubxValSet(binary::ubxlayers::kRam, std::span(&value, 1)).empty()) {
            say(text("ConfigRefused", {listed(values)}), true);
            return false;
        }
    }
    if (values.empty() || values.size() > binary::kUbxMaxKeysPerMessage) {
        say(text("ConfigRefused", {listed(values)}), true);
        return false;
    }
    if (m_dialect == Dialect::Legacy && !expandLegacy({Operation::Kind::Apply, values})) return false;
    if (m_dialect != Dialect::Legacy) request({Operation::Kind::Apply, values});
    if (save) this->save();
    return true;
}

void ReceiverConfiguration::save() { request({Operation::Kind::Save, {}}); }

void ReceiverConfiguration::resetToDefaults() { request({Operation::Kind::Reset, {}}); }

void ReceiverConfiguration::request(Operation operation)
{
    if (m_dialect != Dialect::Unknown && m_waiting.empty()) {
        expand(operation);
        return;
    }
    m_waiting.push_back(std::move(operation));
    if (m_waiting.size() > 1) return;  // already finding out
    Step identify;
    identify.kind = StepKind::Identify;
    identify.frame = binary::ubxPollMonVer();
    identify.what = whatOf(m_waiting.front());
    enqueue(std::move(identify));
}

std::string ReceiverConfiguration::whatOf(const Operation& operation) const
{
    switch (operation.kind) {
    case Operation::Kind::ReadBack: return text("ConfigReadWhat");
    case Operation::Kind::Apply: return listed(operation.values);
    case Operation::Kind::Save: return text("ConfigSaveWhat");
    case Operation::Kind::Reset: return text("ConfigResetWhat");
    }
    return {};
}

// The dialect is known: what waited for it goes out now, in the order it was asked.
void ReceiverConfiguration::decided(Dialect dialect)
{
    m_dialect = dialect;
    std::deque<Operation> waiting = std::move(m_waiting);
    m_waiting.clear();
    for (const Operation& operation : waiting)
        if (!expand(operation)) return;
}

bool ReceiverConfiguration::expand(const Operation& operation)
{
    if (m_dialect != Dialect::Legacy) {
        expandKeys(operation);
        return true;
    }
    if (expandLegacy(operation)) return true;
    abandon();
    return false;
}

void ReceiverConfiguration::expandKeys(const Operation& operation)
{
    Step step;
    switch (operation.kind) {
    case Operation::Kind::ReadBack:
        step.kind = StepKind::Read;
        step.keys = shownKeys();
        enqueue(std::move(step));
        return;
    case Operation::Kind::Apply: {
        // The line rate goes last and alone: the other values are confirmed at the rate they
        // were sent at, and what comes after the change is sent only once the receiver is
        // heard again.
        std::vector<binary::UbxConfigValue> others;
        std::vector<binary::UbxConfigValue> rate;
        for (const binary::UbxConfigValue& value : operation.values)
            (value.key == kUart1Baud ? rate : others).push_back(value);
        for (std::vector<binary::UbxConfigValue>* part : {&others, &rate}) {
            if (part->empty()) continue;
            Step write;
            write.kind = StepKind::Write;
            write.frame = binary::ubxValSet(binary::ubxlayers::kRam, *part);
            write.values = *part;
            write.messageId = kValSet;
            write.what = listed(*part);
            enqueue(std::move(write));
        }
        return;
    }
    case Operation::Kind::Save:
        step.kind = StepKind::Save;
        step.frame = binary::ubxSaveConfig();
        step.messageId = kCfgCfg;
        step.what = text("ConfigSaveWhat");
        enqueue(std::move(step));
        return;
    case Operation::Kind::Reset: {
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
        read.keys = shownKeys();
        enqueue(std::move(read));
        return;
    }
    }
}

// False when a value has no older message to go in; that is said and nothing is sent.
bool ReceiverConfiguration::expandLegacy(const Operation& operation)
{
    const std::vector<std::uint32_t> shown = shownKeys();
    switch (operation.kind) {
    case Operation::Kind::ReadBack:
    case Operation::Kind::Reset: {
        const bool reset = operation.kind == Operation::Kind::Reset;
        if (reset) {
            m_defaultLineRate = binary::kUbxLegacyFactoryBaud;
            Step step;
            step.kind = StepKind::Reset;
            step.frame = binary::ubxResetToDefaults();
            step.messageId = kCfgCfg;
            step.what = text("ConfigResetWhat");
            enqueue(std::move(step));
        }
        for (const std::uint32_t key : LegacyConfigurationPlan::unreachable(shown)) m_unsupported.insert(key);
        for (Step& step : LegacyConfigurationPlan::read(reset ? StepKind::ReadAfterReset : StepKind::Read, shown,
                                                        text("ConfigReadWhat")))
            enqueue(std::move(step));
        return true;
    }
    case Operation::Kind::Apply: {
        std::vector<std::uint32_t> keys;
        for (const binary::UbxConfigValue& value : operation.values) keys.push_back(value.key);
        const std::vector<std::uint32_t> missing = LegacyConfigurationPlan::unreachable(keys);
        if (!missing.empty()) {
            std::string names;
            for (const std::uint32_t key : missing) {
                const binary::UbxConfigKey* known = binary::ubxConfigKeyById(key);
                char id[16];
                std::snprintf(id, sizeof id, "0x%08x", static_cast<unsigned>(key));
                names += (names.empty() ? "" : ", ") + (known ? std::string(known->name) : std::string(id));
            }
            const std::string version = m_protocol ? m_protocol->text : text("ConfigProtocolUnknown");
            say(text("ConfigLegacyNoKey", {names, version}), true);
            m_failed = true;
            return false;
        }
        std::vector<binary::UbxConfigValue> others;
        std::vector<binary::UbxConfigValue> rate;
        for (const binary::UbxConfigValue& value : operation.values)
            (value.key == kUart1Baud ? rate : others).push_back(value);
        for (const std::vector<binary::UbxConfigValue>* part : {&others, &rate})
            for (Step& step : LegacyConfigurationPlan::write(*part)) enqueue(std::move(step));
        return true;
    }
    case Operation::Kind::Save:
        expandKeys(operation);  // CFG-CFG is the same message on every generation
        return true;
    }
    return true;
}

void ReceiverConfiguration::enqueue(Step step)
{
    if (!step.legacy && (step.kind == StepKind::Read || step.kind == StepKind::ReadDefaultRate
                         || step.kind == StepKind::ReadAfterReset || step.kind == StepKind::Probe)) {
        const binary::UbxLayer layer =
            step.kind == StepKind::ReadDefaultRate ? binary::UbxLayer::Default : binary::UbxLayer::Ram;
        step.frame = binary::ubxValGet(layer, step.keys);
        step.messageId = kValGet;
        if (step.what.empty()) step.what = text("ConfigReadWhat");
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
    if (m_active->legacy && m_active->kind == StepKind::Write) {
        const auto fetched = m_fetched.find(*m_active->legacy);
        if (fetched != m_fetched.end())
            m_active->frame = binary::ubxLegacySet(*m_active->legacy, fetched->second, m_active->values);
        if (m_active->frame.empty()) {
            say(text("ConfigLegacyNotFramed", {m_active->what}), true);
            abandon();
            return;
        }
    }
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
    m_waiting.clear();
    notify();
}

void ReceiverConfiguration::onUbxFrame(std::uint8_t messageClass, std::uint8_t messageId,
                                       std::span<const std::uint8_t> payload)
{
    if (messageClass == kCfg && m_active && m_active->legacy && !m_active->answered && !m_follow
        && binary::ubxLegacyIsAnswer(*m_active->legacy, messageId, payload)) {
        takeLegacyAnswer(messageId, payload);
        return;
    }
    if (messageClass != kCfg || messageId != kValGet) {
        const binary::UbxDecoded decoded = binary::decodeUbx(messageClass, messageId, payload);
        if (decoded.record) onUbxRecord(*decoded.record);
        return;
    }
    const std::optional<binary::UbxValGetResponse> response = binary::decodeUbxValGetResponse(payload);
    if (!response || m_follow || !m_active || m_active->messageId != kValGet) return;
    if (m_active->kind == StepKind::Probe) {
        finishActive();
        decided(Dialect::Keys);
        return;
    }
    if (m_active->kind == StepKind::ReadDefaultRate) {
        for (const binary::UbxConfigValue& value : response->values)
            if (value.key == kUart1Baud) m_defaultLineRate = static_cast<std::uint32_t>(value.value);
    } else {
        takeValues(*response);
    }
    // The ACK that follows the answer is not waited for: the answer says more.
    finishActive();
}

// An older message's answer: the values read, or the payload the Write after it changes. Its
// ACK is waited for a moment, as the next request may name the same message.
void ReceiverConfiguration::takeLegacyAnswer(std::uint8_t messageId, std::span<const std::uint8_t> payload)
{
    (void)messageId;
    Step& step = *m_active;
    if (step.kind == StepKind::Fetch) {
        m_fetched[*step.legacy].assign(payload.begin(), payload.end());
    } else if (const auto values = binary::ubxLegacyValues(*step.legacy, payload, step.keys)) {
        for (const std::uint32_t key : step.keys) m_values.erase(key);
        for (const binary::UbxConfigValue& value : *values) m_values[value.key] = value.value;
        // A constellation the receiver has no block for is not one it can use.
        for (const std::uint32_t key : step.keys)
            if (!m_values.contains(key)) m_unsupported.insert(key);
    }
    step.answered = true;
    m_answeredAt = now();
    notify();
}

void ReceiverConfiguration::onUbxRecord(const binary::UbxRecord& record)
{
    if (const auto* ack = std::get_if<binary::UbxAck>(&record)) {
        onAck(*ack);
    } else if (const auto* version = std::get_if<binary::UbxMonVer>(&record)) {
        learnVersion(*version);
        // Only an answer proves the receiver hears the port at its rate and the port hears it.
        if (m_follow) heard();
    }
}

void ReceiverConfiguration::learnVersion(const binary::UbxMonVer& version)
{
    m_versionAnswered = true;
    m_protocol = binary::ubxProtocolVersion(version);
    if (m_protocol) m_dialect = m_protocol->major >= binary::kUbxFirstKeyProtocol ? Dialect::Keys : Dialect::Legacy;
    if (!m_active || m_active->kind != StepKind::Identify) return;
    const std::string what = m_active->what;
    finishActive();
    if (m_protocol) {
        decided(m_dialect);
        return;
    }
    // It did not say its protocol: whether it takes a question for a key tells.
    Step probe;
    probe.kind = StepKind::Probe;
    probe.keys = {kRateMeas};
    probe.what = what;
    enqueue(std::move(probe));
}

void ReceiverConfiguration::takeValues(const binary::UbxValGetResponse& response)
{
    for (const binary::UbxConfigValue& value : response.values) m_values[value.key] = value.value;
}

void ReceiverConfiguration::onAck(const binary::UbxAck& ack)
{
    if (!m_active || m_active->kind == StepKind::Identify || ack.messageClass != kCfg
        || ack.messageId != m_active->messageId)
        return;
    if (m_active->answered) {
        finishActive();
        return;
    }
    // A question is done with its answer; only its refusal is news.
    const bool question = m_active->kind == StepKind::Read || m_active->kind == StepKind::ReadDefaultRate
                          || m_active->kind == StepKind::ReadAfterReset || m_active->kind == StepKind::Fetch
                          || m_active->kind == StepKind::Probe;
    if (question) {
        if (!ack.accepted) answered(false);
        return;
    }
    answered(ack.accepted);
}

void ReceiverConfiguration::answered(bool accepted)
{
    Step step = std::move(*m_active);
    m_active.reset();
    if (step.kind == StepKind::Probe) {
        decided(Dialect::Legacy);
        sendNext();
        notify();
        return;
    }
    if (step.kind == StepKind::Read || step.kind == StepKind::ReadDefaultRate || step.kind == StepKind::ReadAfterReset) {
        // A receiver refuses a whole question for one key it does not have: ask again key by
        // key, and leave out only what it refuses then. An older message refused holds
        // nothing this receiver has.
        if (step.kind == StepKind::ReadDefaultRate) {
            m_defaultLineRate.reset();
        } else if (step.keys.size() > 1 && !step.legacy) {
            for (auto key = step.keys.rbegin(); key != step.keys.rend(); ++key) {
                Step single;
                single.kind = step.kind;
                single.keys = {*key};
                single.frame = binary::ubxValGet(binary::UbxLayer::Ram, single.keys);
                single.messageId = kValGet;
                single.what = step.what;
                m_queue.push_front(std::move(single));
            }
        } else {
            for (const std::uint32_t key : step.keys) {
                m_unsupported.insert(key);
                m_values.erase(key);
            }
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
        took(step);
    }
    sendNext();
    notify();
}

// The values of a write the receiver took; a new line rate is followed.
void ReceiverConfiguration::took(const Step& step)
{
    for (const binary::UbxConfigValue& value : step.values) {
        m_values[value.key] = value.value;
        if (value.key == kUart1Baud && m_lineRate != value.value)
            startFollowing(m_lineRate.value_or(0), static_cast<std::uint32_t>(value.value));
    }
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
    if (!m_active) return;
    if (m_active->answered) {
        if (time - m_answeredAt >= kPollAckSeconds) finishActive();
        return;
    }
    if (time - m_sentAt < kAnswerSeconds) return;
    Step step = std::move(*m_active);
    m_active.reset();
    switch (step.kind) {
    case StepKind::Identify: {
        // It did not say who it is: whether it takes a question for a key tells.
        Step probe;
        probe.kind = StepKind::Probe;
        probe.keys = {kRateMeas};
        probe.what = step.what;
        enqueue(std::move(probe));
        return;
    }
    case StepKind::Probe:
        // One that told who it is but ignores the question has no keys; one that said nothing
        // at all is not heard.
        if (m_versionAnswered) {
            decided(Dialect::Legacy);
            sendNext();
            notify();
            return;
        }
        break;
    case StepKind::Write:
        // A receiver may change its rate before its ACK is out, or garble it doing so: the
        // change is followed all the same, and the rate it answers at tells.
        if (writesLineRate(step) && m_hooks.reopenAt) {
            took(step);
            sendNext();
            notify();
            return;
        }
        break;
    default: break;
    }
    say(text("ConfigNoAnswer", {step.what}), true);
    abandon();
}
