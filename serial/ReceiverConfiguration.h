// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "binary/UbxConfigKeys.h"
#include "binary/UbxLegacyConfig.h"
#include "binary/UbxRecords.h"
#include "serial/ConfigurationStep.h"
#include "serial/LineRateFollow.h"

// Configures a u-blox receiver through its configuration keys: reads the values a user changes
// most (CFG-VALGET), writes changes to its RAM (CFG-VALSET), keeps them (CFG-CFG save) or goes
// back to the factory settings (CFG-CFG clear and load). One
// request is on the wire at a time; each waits for its ACK or NAK, at most kAnswerSeconds,
// and its outcome is told in plain words with the keys named. Nothing is sent after a
// refusal or a silence, so a save never keeps half of what was asked.
//
// A change of CFG-UART1-BAUDRATE (or a reset that brings back another factory rate) is
// followed: once the receiver has acknowledged it at the old rate, the port is reopened at
// the new rate and the receiver asked who it is (MON-VER) until it answers, for at most
// kHearSeconds; when it does not, the port goes back to the old rate and that is said.
//
// A receiver before generation 9 (an M8: protocol version below 23) has no keys; the same keys
// are then read and written through the older CFG messages they live in (see
// LegacyConfigurationPlan), and a key none holds is refused before anything is sent. Which
// way the receiver takes is learnt from its MON-VER (asked first when none was seen); when
// that does not tell, a receiver that refuses or ignores a CFG-VALGET is taken for an older one.
//
// The receiver is reached only through the hooks and onUbxFrame(). One thread (the main
// thread in the window, the reader thread in headless); call tick() a few times a second.
class ReceiverConfiguration {
public:
    static constexpr double kAnswerSeconds = 3.0;
    static constexpr double kHearSeconds = 4.0;
    static constexpr double kProbeSeconds = 1.0;  // between the questions for the rate
    // After a poll's answer, how long its ACK is waited for: an ACK that came late would be
    // taken for the answer to the request after it, which names the same message.
    static constexpr double kPollAckSeconds = 0.5;

    // How the receiver is configured: not known yet, by configuration keys, or through the
    // older CFG messages.
    enum class Dialect : std::uint8_t { Unknown, Keys, Legacy };

    // How a shown setting is edited.
    enum class SettingKind : std::uint8_t { Number, OnOff, LineRate };
    struct Setting {
        std::uint32_t key;
        SettingKind kind;
        std::string_view label;  // message-table key, or the name itself (constellations)
    };
    // The settings a configuration pane shows, in its order.
    static std::span<const Setting> shownSettings();
    // The line rates offered for CFG-UART1-BAUDRATE.
    static std::span<const std::uint32_t> lineRates();

    struct Hooks {
        // Writes one whole frame to the receiver's port. Required.
        std::function<void(std::vector<std::uint8_t> frame)> send;
        // A result for the user; problem is true for a refusal, a silence or a lost receiver.
        std::function<void(const std::string& text, bool problem)> message;
        // The read-back values or the busy state moved (a pane redraws). May be empty.
        std::function<void()> changed;
        // Reopens the port at baud; false when it could not. Empty where the port cannot be
        // reopened (a network source): a rate change is then only told.
        std::function<bool(std::uint32_t baud)> reopenAt;
        // Seconds on any steady clock; empty: the platform clock.
        std::function<double()> now;
    };

    explicit ReceiverConfiguration(Hooks hooks);
    ReceiverConfiguration(const ReceiverConfiguration&) = delete;
    ReceiverConfiguration& operator=(const ReceiverConfiguration&) = delete;

    // The rate the port is open at now; nothing for a source without one.
    void setLineRate(std::optional<std::uint32_t> baud) { m_lineRate = baud; }
    std::optional<std::uint32_t> lineRate() const { return m_lineRate; }

    // Asks for the current (RAM) values of the shown settings.
    void readBack();
    // Writes the values to RAM: all but the line rate in one message, then the line rate;
    // with save, then keeps the configuration. False when nothing could be framed, or when the
    // receiver is known to lack keys and one has no older equivalent: nothing is sent then.
    bool apply(const std::vector<binary::UbxConfigValue>& values, bool save = false);
    // Keeps the current configuration in battery-backed RAM and flash.
    void save();
    // Clears what is kept and loads the factory settings, then reads them back.
    void resetToDefaults();

    // Every UBX frame the receiver sends (whole checksum-checked frames).
    void onUbxFrame(std::uint8_t messageClass, std::uint8_t messageId, std::span<const std::uint8_t> payload);
    // The same for a message already decoded (an ACK-ACK or ACK-NAK, a MON-VER); the
    // answers to CFG-VALGET come only through onUbxFrame().
    void onUbxRecord(const binary::UbxRecord& record);
    // Time-outs and the rate questions.
    void tick();

    // A request is waiting for its answer, more are queued or a rate change is being followed.
    bool busy() const
    {
        return m_active.has_value() || !m_queue.empty() || m_follow.following() || !m_waiting.empty();
    }
    // Something was refused, went unanswered or a rate change could not be followed.
    bool failed() const { return m_failed; }
    // The value read back or written last; nothing when not known.
    std::optional<std::uint64_t> value(std::uint32_t key) const;
    // False once the receiver refused to tell the key (it does not have it).
    bool supported(std::uint32_t key) const { return !m_unsupported.contains(key); }
    Dialect dialect() const { return m_dialect; }

private:
    using Step = ConfigurationStep;
    using StepKind = ConfigurationStep::Kind;
    // What the user asked for, kept until the receiver's dialect is known.
    struct Operation {
        enum class Kind : std::uint8_t { ReadBack, Apply, Save, Reset } kind = Kind::ReadBack;
        std::vector<binary::UbxConfigValue> values;  // Apply
    };

    void request(Operation operation);
    bool expand(const Operation& operation);
    void expandKeys(const Operation& operation);
    bool expandLegacy(const Operation& operation);
    void decided(Dialect dialect);
    void learnVersion(const binary::UbxMonVer& version);
    std::string whatOf(const Operation& operation) const;
    void enqueue(Step step);
    void sendNext();
    void finishActive();
    void abandon();  // after a failure: nothing more goes out
    void onAck(const binary::UbxAck& ack);
    void answered(bool accepted);
    void took(const Step& step);
    void takeLegacyAnswer(std::span<const std::uint8_t> payload);
    void takeValues(const binary::UbxValGetResponse& response);
    void startFollowing(std::uint32_t from, std::uint32_t to);
    void followed(LineRateFollow::Outcome outcome);
    void say(const std::string& text, bool problem);
    void notify();
    double now() const;

    Hooks m_hooks;
    std::optional<std::uint32_t> m_lineRate;
    std::deque<Step> m_queue;
    std::optional<Step> m_active;
    double m_sentAt = 0.0;
    LineRateFollow m_follow;
    std::optional<std::uint32_t> m_defaultLineRate;  // read before a reset
    std::map<std::uint32_t, std::uint64_t> m_values;
    std::set<std::uint32_t> m_unsupported;
    bool m_failed = false;
    Dialect m_dialect = Dialect::Unknown;
    std::optional<binary::UbxProtocolVersion> m_protocol;
    bool m_versionAnswered = false;  // a MON-VER came, whether or not it told the version
    std::deque<Operation> m_waiting;
    std::map<binary::UbxLegacyTarget, std::vector<std::uint8_t>> m_fetched;  // answers of the Fetch steps
    double m_answeredAt = 0.0;
};
