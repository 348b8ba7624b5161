// SPDX-License-Identifier: BSD-2-Clause
#include "serial/ReceiverConfiguration.h"

#include <array>
#include <chrono>
#include <utility>

#include "binary/UbxCommands.h"
#include "binary/UbxMessages.h"
#include "serial/KeyConfigurationPlan.h"
#include "serial/LegacyConfigurationPlan.h"
#include "serial/LineRateFollow.h"
#include "platform/Alert.h"
#include "platform/Application.h"
#include "platform/Services.h"

namespace {

using Kind = ReceiverConfiguration::SettingKind;
using Setting = ReceiverConfiguration::Setting;

constexpr std::uint8_t kCfg = 0x06;
constexpr std::uint8_t kValGet = 0x8B;
constexpr std::uint8_t kAckClass = 0x05;
constexpr std::uint8_t kMonClass = 0x0A;
constexpr std::uint8_t kMonVer = 0x04;
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


}  // namespace

std::span<const ReceiverConfiguration::Setting> ReceiverConfiguration::shownSettings() { return kShown; }

std::span<const std::uint32_t> ReceiverConfiguration::lineRates() { return kLineRates; }

ReceiverConfiguration::ReceiverConfiguration(Hooks hooks)
    : m_hooks(std::move(hooks)),
      m_follow({[this](std::vector<std::uint8_t> frame) {
                    if (m_hooks.send) m_hooks.send(std::move(frame));
                },
                [this](const std::string& message, bool problem) { say(message, problem); }, m_hooks.reopenAt,
                [this] { return now(); }},
               kHearSeconds, kProbeSeconds)
{
}

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
            say(text("ConfigRefused", {KeyConfigurationPlan::listed(values)}), true);
            return false;
        }
    }
    if (values.empty() || values.size() > binary::kUbxMaxKeysPerMessage) {
        say(text("ConfigRefused", {KeyConfigurationPlan::listed(values)}), true);
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
    case Operation::Kind::Apply: return KeyConfigurationPlan::listed(operation.values);
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
    switch (operation.kind) {
    case Operation::Kind::ReadBack: enqueue(KeyConfigurationPlan::read(StepKind::Read, shownKeys(), {})); return;
    case Operation::Kind::Apply:
        for (Step& step : KeyConfigurationPlan::write(operation.values)) enqueue(std::move(step));
        return;
    case Operation::Kind::Save: enqueue(KeyConfigurationPlan::save()); return;
    case Operation::Kind::Reset:
        for (Step& step : KeyConfigurationPlan::reset(shownKeys())) enqueue(std::move(step));
        return;
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
            enqueue(std::move(KeyConfigurationPlan::reset({})[1]));  // CFG-CFG is the same on every generation
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
            const std::string version = m_protocol ? m_protocol->text : text("ConfigProtocolUnknown");
            say(text("ConfigLegacyNoKey", {LegacyConfigurationPlan::names(missing), version}), true);
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
    m_queue.push_back(std::move(step));
    sendNext();
    notify();
}

void ReceiverConfiguration::sendNext()
{
    if (m_active || m_follow.following() || m_queue.empty()) return;
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
    if (messageClass == kCfg && m_active && m_active->legacy && !m_active->answered && !m_follow.following()
        && binary::ubxLegacyIsAnswer(*m_active->legacy, messageId, payload)) {
        takeLegacyAnswer(payload);
        return;
    }
    if (messageClass != kCfg || messageId != kValGet) {
        // Only the acknowledgements and the version report concern the configuration; the
        // navigation messages, most of what a receiver sends, are not decoded again here.
        if (messageClass != kAckClass && !(messageClass == kMonClass && messageId == kMonVer)) return;
        const binary::UbxDecoded decoded = binary::decodeUbx(messageClass, messageId, payload);
        if (decoded.record) onUbxRecord(*decoded.record);
        return;
    }
    const std::optional<binary::UbxValGetResponse> response = binary::decodeUbxValGetResponse(payload);
    if (!response || m_follow.following() || !m_active || m_active->messageId != kValGet) return;
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
void ReceiverConfiguration::takeLegacyAnswer(std::span<const std::uint8_t> payload)
{
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
        if (m_follow.following()) followed(m_follow.heard());
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
    enqueue(KeyConfigurationPlan::read(StepKind::Probe, {kRateMeas}, what));
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
            std::vector<Step> each = KeyConfigurationPlan::readEach(step);
            m_queue.insert(m_queue.begin(), std::make_move_iterator(each.begin()), std::make_move_iterator(each.end()));
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

void ReceiverConfiguration::startFollowing(std::uint32_t from, std::uint32_t to) { followed(m_follow.start(from, to)); }

void ReceiverConfiguration::followed(LineRateFollow::Outcome outcome)
{
    if (outcome == LineRateFollow::Outcome::Following) return;
    if (m_follow.lineRate() != 0) m_lineRate = m_follow.lineRate();
    if (outcome == LineRateFollow::Outcome::Failed) {
        abandon();
        return;
    }
    sendNext();
    notify();
}

void ReceiverConfiguration::tick()
{
    const double time = now();
    if (m_follow.following()) {
        followed(m_follow.tick());
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
        enqueue(KeyConfigurationPlan::read(StepKind::Probe, {kRateMeas}, step.what));
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
