// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "app/OutgoingCommands.h"
#include "app/UpdateQueue.h"
#include "binary/UbxRecords.h"
#include "base/ByteBuffer.h"
#include "stream/SentencePipeline.h"
#include "serial/WrongRateWatch.h"
#include "sources/SourceUrl.h"

namespace platform {
class MainThread;
class Sleeper;
}  // namespace platform

class ByteSource;
class CorrectionQueue;
class LineTap;
class ReaderEvents;
class ReaderLink;
enum class RestartDepth;

// The reader thread and everything it owns: the link to the receiver (serial port or network
// source), connecting and reconnecting, the wrong-rate watch, the pipeline that checks and
// decodes what is read, and the bounded queue that hands copies of the results to the main
// thread. The main thread drives it with commands and hears from it through ReaderEvents, in
// the order things happened; drains of the queue come at most 5 times a second (a backlog
// of a thousand updates sooner), so the window redraws no more often than that.
//
// Main thread: everything but sendToReceiver() (any thread) and the choice function (called
// on the reader thread; it must return copies).
class ReceiverReader {
public:
    enum Command : std::uint32_t {
        kNone = 0,
        kConnect = 1,
        kDisconnect = 2,
        kRestartHot = 3,  // kRestartHot + RestartDepth
        kRestartCold = 5,
    };
    // The receiver chosen in the settings, as copies.
    struct Choice {
        std::optional<std::string> port;
        std::optional<std::string> rate;
        std::optional<std::string> storedRate;
        bool canConnect = false;  // a device is there to be chosen
    };
    static constexpr std::size_t kUpdateQueueLimit = 8192;

    // The events go to `events` (not owned, outlives the reader).
    explicit ReceiverReader(ReaderEvents& events);
    ~ReceiverReader();
    ReceiverReader(const ReceiverReader&) = delete;
    ReceiverReader& operator=(const ReceiverReader&) = delete;

    // Set before start(); platform::services() when not set. Not owned.
    void setMainThread(platform::MainThread* mainThread) { m_mainThread = mainThread; }
    void setSleeper(platform::Sleeper* sleeper) { m_sleeper = sleeper; }
    // Sees every line on the reader thread (recording, sharing). Not owned; set before
    // start() and kept until shutdown().
    void setLineTap(LineTap* tap) { m_lineTap = tap; }
    void setChoice(std::function<Choice()> choice) { m_choice = std::move(choice); }
    // A network receiver (tcp://, gpsd://) read instead of the chosen serial port. Before
    // start().
    void setSource(std::optional<SourceUrl> source) { m_source = std::move(source); }
    bool readsSource() const { return m_source.has_value(); }
    // Corrections for the receiver, each frame written whole between reads. Not owned; set
    // before start() and kept until shutdown().
    void setCorrections(CorrectionQueue* queue) { m_corrections = queue; }
    // Each decoded UBX message, on the main thread, after its line event.
    void setUbxListener(std::function<void(const binary::UbxRecord&)> listener)
    {
        m_ubxListener = std::move(listener);
    }

    // Each UBX frame whose checksum held, as class, id and payload, on the main thread.
    using UbxFrameListener = std::function<void(std::uint8_t, std::uint8_t, std::span<const std::uint8_t>)>;
    void setUbxFrameListener(UbxFrameListener listener) { m_ubxFrameListener = std::move(listener); }

    // Starts the thread; it waits two seconds, then tells readyToConnect() when a receiver
    // was chosen before.
    void start();
    // No more commands are taken, a sleep or a wait for room in the queue is cut short, the
    // link is closed and the thread joined; queued events are not delivered any more.
    // Idempotent.
    void shutdown();

    // Any thread. Bytes for the receiver (a command), written whole between reads, never
    // amid a correction frame. Dropped without a connection.
    void sendToReceiver(std::vector<std::uint8_t> bytes);
    // Any thread. The port opened again at baud, for a receiver told to change its rate: in
    // turn with the commands, so what was sent before goes at the old rate and what is sent
    // after at the new one. False (nothing done) without a serial connection.
    bool requestReopenAt(std::uint32_t baud);
    // The rate the port is open at; nothing without a serial connection. Any thread.
    std::optional<std::uint32_t> lineRate() const
    {
        const std::uint32_t rate = m_lineRate.load();
        return rate ? std::optional<std::uint32_t>(rate) : std::nullopt;
    }
    void requestConnect() { m_command.store(kConnect); }
    void requestDisconnect() { m_command.store(kDisconnect); }
    // False without a serial connection or while another command waits.
    bool requestRestart(RestartDepth depth);
    std::uint32_t command() const { return m_command.load(); }
    // As the reader thread last set it. Any thread.
    bool hasConnection() const { return m_connected.load(); }
    // Line updates dropped because the main thread fell behind the queue's bound.
    std::uint64_t droppedUpdates() const { return m_queue.dropped(); }

private:
    struct Alive;

    void run();
    bool stopping() const { return m_stopping.load(); }
    // reportFailure: a port that cannot be opened is told.
    void connect(bool reportFailure = true);
    void connectSerial(const Choice& choice, bool reportFailure);
    void connectSource(bool reportFailure);
    void disconnect();
    // Reconnects when the device of a lost connection is back (a lost source after its
    // back-off), or connects to the first port captured after a start without devices.
    bool reconnectIfBack();
    void readOnce();
    void writePending();
    void reopenAt(std::uint32_t baud);  // reading thread
    void takeLine(ByteBuffer line, double now);
    void takeResult(LineResult result, double now);
    void connectionEnded(bool lost);
    void releaseLink();
    // Every change of the link goes through here, under m_linkMutex, so that shutdown() can
    // cancel a waiting read without racing its destruction.
    void setLink(std::unique_ptr<ReaderLink> link);
    void post(ReaderUpdate::Kind kind, std::string text = {}, std::string detail = {});
    void enqueue(ReaderUpdate update);
    void requestDrain();
    void showQueuedBeforeWaiting();
    void drain();  // main thread
    void deliver(const ReaderUpdate& update);

    ReaderEvents& m_events;
    platform::MainThread* m_mainThread = nullptr;
    platform::Sleeper* m_sleeper = nullptr;
    LineTap* m_lineTap = nullptr;
    std::function<Choice()> m_choice;
    std::optional<SourceUrl> m_source;
    CorrectionQueue* m_corrections = nullptr;
    std::function<void(const binary::UbxRecord&)> m_ubxListener;
    UbxFrameListener m_ubxFrameListener;
    std::uint64_t m_droppedShown = 0;  // main thread

    // Written by the reader thread only, under m_linkMutex; the reader reads it without the
    // lock, shutdown() with it. m_opening: a source being connected, for shutdown() to cancel.
    std::unique_ptr<ReaderLink> m_link;
    ByteSource* m_opening = nullptr;
    std::mutex m_linkMutex;
    // Reader thread only.
    std::string m_connectedName;
    SentencePipeline m_pipeline;
    std::vector<LineResult> m_results;
    bool m_askedVersion = false;  // the MON-VER poll went out on this connection
    double m_lastDrainRequest = -1.0;  // steady seconds
    // The port of a connection the device's removal ended, reopened when it returns; empty
    // when nothing is awaited.
    std::string m_awaitedPort;
    // A lost source: tried again from this steady time on, the wait doubling each time.
    std::optional<double> m_sourceRetryAt;
    double m_sourceBackoffSeconds = 0.0;
    // No device at start: connect once the settings have captured a port (one plugged in).
    bool m_connectWhenChosen = false;
    WrongRateWatch m_wrongRateWatch;

    OutgoingCommands m_outgoing;
    std::atomic<std::uint32_t> m_lineRate{0};  // of the serial link; 0 for none
    UpdateQueue m_queue;
    std::atomic<std::uint32_t> m_command{kNone};
    std::atomic<bool> m_connected{false};
    std::atomic<bool> m_stopping{false};
    std::shared_ptr<Alive> m_alive;
    std::thread m_thread;
};
