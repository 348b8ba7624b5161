// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "sources/GgaSentence.h"
#include "sources/SourceMessage.h"
#include "sources/SourceTable.h"
#include "sources/SourceUrl.h"

class Waker;

// What an NTRIP client connects to and how patient it is. Times are durations; the defaults
// suit a real caster (tests shorten them).
struct NtripSettings {
    std::string host;
    std::uint16_t port = SourceUrl::kNtripPort;
    bool tls = false;
    std::string mountpoint;
    std::string user;      // empty: no authentication
    std::string password;  // held in memory only; never in a message, a log or the preferences
    // A PEM file of certificates trusted besides the system's roots (a caster with a private
    // certificate authority); empty: the system's roots only. TLS only.
    std::string extraTrustedCertificates;
    int version = 2;       // 1: HTTP/1.0 and ICY; 2: HTTP/1.1, usually chunked

    enum class Gga {
        FromSourceTable,  // ask the source table whether the mountpoint needs the position
        Always,
        Never,
    };
    Gga gga = Gga::FromSourceTable;
    std::chrono::milliseconds ggaInterval{10000};

    std::chrono::milliseconds connectTimeout{10000};  // connection and TLS handshake
    std::chrono::milliseconds answerTimeout{10000};   // from the request to the answer's head
    // No checked frame for this long: reconnect. For a mountpoint that needs the position it is
    // counted from the first GGA of the connection (before that the caster has to be silent).
    std::chrono::milliseconds silenceTimeout{30000};
    std::chrono::milliseconds firstBackoff{1000};     // wait before the first reconnect,
    std::chrono::milliseconds maxBackoff{60000};      // doubling up to this
    // Bytes in a row that make no checked frame before the stream is called "not RTCM 3".
    std::size_t garbageLimitBytes = 16384;

    // Host, port, TLS, user and mountpoint from an ntrip:// or ntrips:// address.
    static NtripSettings fromUrl(const SourceUrl& url, std::string password);
};

// The password for the command line's NTRIP address from GPSDESK_NTRIP_PASSWORD, taken out of
// the environment once read; nothing when it is not set.
std::optional<std::string> takeNtripPasswordFromEnvironment();

// A copy of the client's counters, taken under its lock.
struct NtripStatus {
    enum class State {
        Stopped,
        Connecting,  // connecting, sending the request or waiting for the answer
        Streaming,   // the caster accepted; corrections flow (or should)
        Waiting,     // waiting before the next attempt
    };
    State state = State::Stopped;
    std::uint64_t frames = 0;          // checked frames delivered, since start()
    std::uint64_t crcFailures = 0;     // places where a frame start did not check
    std::uint64_t bytesReceived = 0;   // stream bytes after the answer's head (chunk coding removed)
    std::uint64_t connections = 0;     // accepted answers since start()
    std::uint64_t ggaSent = 0;
    std::map<std::uint16_t, std::uint64_t> framesByType;  // message number -> frames
    std::optional<std::uint16_t> stationId;               // of the last frame that carried one
    // When the first and the last checked frame arrived; nothing before the first.
    std::optional<std::chrono::steady_clock::time_point> firstFrameTime;
    std::optional<std::chrono::steady_clock::time_point> lastFrameTime;
    bool ggaRequired = false;          // as decided for this mountpoint
    SourceMessage lastMessage;         // the latest status or failure

    // Seconds since the last frame at `now`; nothing before the first frame.
    std::optional<double> ageSeconds(std::chrono::steady_clock::time_point now) const;
    // Frames of the message type per second, from the first frame to `now`; nothing before a
    // second has passed since the first frame.
    std::optional<double> ratePerSecond(std::uint16_t messageType, std::chrono::steady_clock::time_point now) const;
};

// Receives corrections from an NTRIP caster on its own thread, so neither the reader thread
// nor the window ever waits on the network. Each connection sends the request, reads the
// answer, sends the position as GGA when the mountpoint needs it (right after connecting and
// every ggaInterval), cuts the stream into RTCM 3 frames, checks each with CRC-24Q and hands
// every good frame whole to onFrame. Any failure is reported with its own message, and the
// client connects again after a back-off (firstBackoff doubling to maxBackoff, back to
// firstBackoff after a connection that delivered frames).
//
// onFrame and onMessage run on the client's thread and must not block for long: onFrame
// should push the frame into a CorrectionQueue that the thread owning the receiver's port
// drains, writing each frame in one write between its other writes. They must not call
// stop() (the thread would wait for itself). The other members are for the owning thread, except
// setPosition() and status(), which any thread may call.
class NtripClient {
public:
    using FrameHandler = std::function<void(std::vector<std::uint8_t> frame)>;
    using MessageHandler = std::function<void(const SourceMessage& message)>;

    NtripClient(NtripSettings settings, FrameHandler onFrame, MessageHandler onMessage);
    ~NtripClient();  // stops and joins
    NtripClient(const NtripClient&) = delete;
    NtripClient& operator=(const NtripClient&) = delete;

    // Starts the thread (counters are reset); does nothing when running.
    void start();
    // Ends any wait at once, closes the connection and joins the thread.
    void stop();
    bool running() const { return m_thread.joinable(); }

    // The receiver's latest position, for the next GGA. Any thread.
    void setPosition(const GgaPosition& position);
    NtripStatus status() const;

    struct TableResult {
        std::optional<SourceTable> table;  // nothing on failure
        SourceMessage error;
    };
    // Asks the caster for its source table (the mountpoint of settings is not used). Blocks up
    // to the connect and answer time-outs (each read); call it off the main thread. cancel,
    // when given, ends it early.
    static TableResult fetchSourceTable(const NtripSettings& settings, const Waker* cancel = nullptr);

private:
    void run();
    // One connection from connect to failure; true when it delivered frames.
    bool session();
    bool sendGga(class NetConnection& connection);
    void report(SourceMessage message);
    void setState(NtripStatus::State state);
    bool waitStopping(std::chrono::milliseconds duration);

    const NtripSettings m_settings;
    const FrameHandler m_onFrame;
    const MessageHandler m_onMessage;

    std::unique_ptr<Waker> m_waker;
    std::thread m_thread;
    std::atomic<bool> m_stopping{false};

    mutable std::mutex m_mutex;  // guards the two below
    NtripStatus m_status;
    std::optional<GgaPosition> m_position;
};
