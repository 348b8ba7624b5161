// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "binary/Rtcm3.h"
#include "binary/UbxRecords.h"
#include "sources/CorrectionQueue.h"
#include "stream/CorrectionsSettings.h"
#include "sources/NtripClient.h"
#include "sources/SourceMessage.h"
#include "sources/SourceTable.h"

class ReceiverState;
class Waker;

namespace platform {
class Preferences;
class SecretStore;
}  // namespace platform

// A copy of the corrections' state for the pane, taken at one moment.
struct CorrectionsStatus {
    struct MessageCount {
        std::uint16_t type = 0;
        std::uint64_t frames = 0;
        std::optional<double> perSecond;  // nothing before a second of frames
        bool operator==(const MessageCount&) const = default;
    };
    bool running = false;
    NtripStatus::State state = NtripStatus::State::Stopped;
    std::string caster;                 // the address without a password; empty when off
    std::vector<MessageCount> messages; // by message number
    std::uint64_t frames = 0;
    std::uint64_t framesDropped = 0;    // the port fell behind; the oldest went
    std::uint64_t ggaSent = 0;
    std::optional<double> ageSeconds;   // since the last frame
    std::optional<std::uint16_t> stationId;
    std::optional<binary::Rtcm3StationPosition> base;  // from the last 1005 or 1006
    std::optional<double> baselineMeters;              // base to the current fix
    std::optional<std::int32_t> fixQuality;            // GGA's: 4 RTK fixed, 5 RTK float
    // What the receiver says of the frames it got (u-blox RXM-RTCM): used, not used, or
    // broken on the way; all 0 when it does not say.
    std::uint64_t receiverUsed = 0;
    std::uint64_t receiverNotUsed = 0;
    std::uint64_t receiverBroken = 0;
    SourceMessage lastMessage;          // the latest word of the client
    SourceMessage secretNote;           // how the password was found (or why not)
};

// The window's NTRIP corrections: owns the client (on its own thread, reconnecting with
// back-off), keeps the receiver's position for the caster's GGA, hands every checked frame
// to queue() for the reader to write whole, and keeps the counts the pane shows. Reads the
// caster's source table off the main thread.
// Main thread, except frameReceived (the client's thread), and queue() and takeSourceTable()
// (any thread). The secret store is not owned and must outlive the controller.
class CorrectionsController {
public:
    using TimeSource = std::function<std::chrono::steady_clock::time_point()>;

    explicit CorrectionsController(platform::SecretStore* secrets,
                                   TimeSource now = [] { return std::chrono::steady_clock::now(); });
    ~CorrectionsController();
    CorrectionsController(const CorrectionsController&) = delete;
    CorrectionsController& operator=(const CorrectionsController&) = delete;

    // (Re)starts the client for the settings, the password from the secret store. False with
    // whyNot set when the address cannot be used; an empty address only stops.
    bool start(const CorrectionsSettings& settings, SourceMessage& whyNot);
    void stop();
    bool running() const { return m_client != nullptr; }

    // Keeps the password for the caster's address in the secret store; the answer says
    // whether it went there or is kept only for this session (no secret service).
    SourceMessage storePassword(const std::string& casterUrl, const std::string& password);
    // A password for this run only (from the environment with --ntrip), used before the
    // secret store's and never stored.
    void setGivenPassword(std::string password) { m_givenPassword = std::move(password); }

    // The receiver's latest state: its position for the next GGA and the baseline, its fix
    // quality for the pane.
    void observe(const ReceiverState& state);
    // The receiver's word on one correction frame it got (u-blox RXM-RTCM). Main thread.
    void receiverReport(const binary::UbxRxmRtcm& report);

    CorrectionsStatus status() const;
    CorrectionQueue& queue() { return m_queue; }

    // One checked frame from the client: counted, the base position kept, queued. Client's
    // thread (or a test's).
    void frameReceived(std::vector<std::uint8_t> frame);

    // Asks the caster of the address for its source table on a thread of its own; a request
    // still running is cancelled.
    void requestSourceTable(const std::string& casterUrl);
    struct SourceTableAnswer {
        std::vector<Mountpoint> mountpoints;  // nearest first when a fix is known
        SourceMessage error;                  // empty on success
    };
    // The answer once it came (then forgotten); nothing while it is asked or never was.
    std::optional<SourceTableAnswer> takeSourceTable();

    // Mountpoints nearest first from the position (degrees; those without a position last);
    // the caster's order without one.
    static std::vector<Mountpoint> nearestFirst(const SourceTable& table,
                                                const std::optional<std::pair<double, double>>& latLonDegrees);
    // Straight-line distance between a station's ECEF point and a geodetic position (WGS 84).
    static double baselineMeters(const binary::Rtcm3StationPosition& base, double latitudeDegrees,
                                 double longitudeDegrees, double heightMeters);

    // Shorter time-outs and back-off for tests.
    void setClientTuning(std::function<void(NtripSettings&)> tune) { m_tune = std::move(tune); }

private:
    void joinFetch();
    NtripSettings settingsFor(const SourceUrl& url, int ggaSeconds);

    platform::SecretStore* m_secrets;
    std::string m_givenPassword;
    TimeSource m_now;
    std::function<void(NtripSettings&)> m_tune;
    CorrectionQueue m_queue;
    std::unique_ptr<NtripClient> m_client;
    std::string m_caster;

    mutable std::mutex m_mutex;  // guards the members below
    struct Counted {
        std::uint64_t frames = 0;
        std::chrono::steady_clock::time_point first;
    };
    std::map<std::uint16_t, Counted> m_counts;
    std::optional<std::chrono::steady_clock::time_point> m_firstFrame;
    std::optional<std::chrono::steady_clock::time_point> m_lastFrame;
    std::uint64_t m_frames = 0;
    std::optional<std::uint16_t> m_stationId;
    std::uint64_t m_receiverUsed = 0;
    std::uint64_t m_receiverNotUsed = 0;
    std::uint64_t m_receiverBroken = 0;
    std::optional<binary::Rtcm3StationPosition> m_base;
    SourceMessage m_lastMessage;
    SourceMessage m_secretNote;
    struct Fix {
        double latitudeDegrees = 0;
        double longitudeDegrees = 0;
        double heightMeters = 0;
    };
    std::optional<Fix> m_fix;
    std::optional<GgaPosition> m_gga;
    std::optional<std::int32_t> m_fixQuality;
    std::optional<SourceTableAnswer> m_tableAnswer;

    std::unique_ptr<Waker> m_fetchCancel;
    std::thread m_fetch;
};
