// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>

#include "platform/Geometry.h"
#include "platform/Window.h"
#include "core/ByteBuffer.h"
#include "core/ReadoutFreshness.h"
#include "core/ReceiverState.h"
#include "core/SentencePipeline.h"
#include "core/Sentences.h"
#include "core/WrongRateWatch.h"

namespace platform {
class Application;
class Button;
class Clock;
class MainThread;
class MenuItem;
class Sleeper;
class TextField;
class Timer;
}  // namespace platform

class MonitorController;
class SatelliteStore;
class ReceiverTestController;
enum class RestartDepth;
class GPSSettingsController;
class NMEA;
class CourseFormatter;
class CompassView;
class DataLampView;
class LineTap;
class PositionFormatter;
class SpeedFormatter;
class Serial;
class SplashController;
struct SentenceKind;

// The main window's controller: owns the connection to the receiver, the reader thread and
// the dispatch table from sentence type to handler, and turns sentences into the window's
// read-outs.
//
// Threads. Everything runs on the main thread except the reader thread, which owns the port
// object and all serial traffic, and checks, splits and decodes each sentence. It reaches
// the user interface only through one bounded queue of updates (decoded sentences and status
// calls) that the main thread drains in arrival order; the reader never waits for it. Drains
// are asked for at most ~10 times a second, so views redraw no more often on a receiver's
// line; only a backlog of a thousand updates (a flood) is drained sooner. A full queue gives
// the main thread a quarter second to catch up, then drops the oldest sentence updates and
// counts them (the monitor shows the count). The main thread talks to the reader through threadCommand and reads the
// connection state from a flag the reader keeps, never from the port object.
//
// Outlets are set before start() and are not owned. The controller owns its four
// formatters, the dispatch table, the timer and the reader thread; shutdown() (also run by
// the destructor) stops and joins the thread.
class GPSController : public platform::WindowDelegate {
public:
    enum ThreadCommand : std::uint32_t {
        kNone = 0,
        kConnect = 1,
        kDisconnect = 2,
        kRestartHot = 3,  // kRestartHot + RestartDepth
        kRestartCold = 5,
    };

    GPSController();
    ~GPSController() override;
    GPSController(const GPSController&) = delete;
    GPSController& operator=(const GPSController&) = delete;

    // Outlets.
    void setGpsWindow(platform::Window* window) { m_gpsWindow = window; }
    void setUtcLabelField(platform::TextField* field) { m_utcLabelField = field; }
    void setLatitudeLabelField(platform::TextField* field) { m_latitudeLabelField = field; }
    void setLongitudeLabelField(platform::TextField* field) { m_longitudeLabelField = field; }
    void setCogLabelField(platform::TextField* field) { m_cogLabelField = field; }
    void setSogLabelField(platform::TextField* field) { m_sogLabelField = field; }
    void setFixLabelField(platform::TextField* field) { m_fixLabelField = field; }
    void setUtcField(platform::TextField* field) { m_utcField = field; }
    void setFixField(platform::TextField* field) { m_fixField = field; }
    void setLatitudeField(platform::TextField* field) { m_latitudeField = field; }
    void setLongitudeField(platform::TextField* field) { m_longitudeField = field; }
    void setCogField(platform::TextField* field) { m_cogField = field; }
    void setSogField(platform::TextField* field) { m_sogField = field; }
    void setDataReadyView(DataLampView* view) { m_dataReadyView = view; }
    void setCompassView(CompassView* view) { m_compassView = view; }
    void setSatellitesButton(platform::Button* button) { m_satellitesButton = button; }
    void setSettingsButton(platform::Button* button) { m_settingsButton = button; }
    void setMonitorButton(platform::Button* button) { m_monitorButton = button; }
    void setGpsConnectMenuItem(platform::MenuItem* item) { m_gpsConnectMenuItem = item; }
    void setGpsSettingsController(GPSSettingsController* c) { m_gpsSettingsController = c; }
    void setSatelliteStore(SatelliteStore* c) { m_satelliteStore = c; }
    void setMonitorController(MonitorController* c) { m_monitorController = c; }
    void setSplashController(SplashController* c) { m_splashController = c; }
    // Told of connects, closes and every folded sentence; not owned.
    void setReceiverTestController(ReceiverTestController* c) { m_receiverTestController = c; }
    // Main thread: has the reader thread send a restart to the receiver. False without a
    // connection or while another command waits for the reader.
    bool requestRestart(RestartDepth depth);
    // The reader thread's way into the UI and its sleep; platform::services() when not set.
    // Set before start().
    void setMainThread(platform::MainThread* mainThread) { m_mainThread = mainThread; }
    void setSleeper(platform::Sleeper* sleeper) { m_sleeper = sleeper; }
    // Sees every line on the reader thread (recording, sharing). Not owned; set before
    // start() and kept until shutdown().
    void setLineTap(LineTap* tap) { m_lineTap = tap; }

    // Wake-up: centres the window, attaches the formatters, clears and sizes the read-outs,
    // starts the reader thread and the 15-second staleness timer.
    void start();
    void loadSettings() {}
    void saveSettings() {}
    // Stops the reader thread: no more commands are taken, a sleep or a hand-off to the main
    // thread in progress is cut short, the port is closed and the thread joined. Also stops
    // the staleness timer. Main thread; idempotent.
    void shutdown();

    // Connection state as the reader thread last set it. Any thread.
    bool hasConnection() const { return m_connected.load(); }
    // User commands (main thread).
    void onGPSConnect();
    void onGPSSettingsChange();
    void closeConnection();
    void releaseSerial();
    bool isMenuItemEnabled(platform::MenuItem* item);

    // Run on the main thread at the reader thread's request.
    void connectionClosed();
    // The sheet's informative text is the explanation, or the port path when there is none.
    void openPortFail(const std::string& port, const std::string& explanation = {});
    void connectionLost(const std::string& port);
    void updateMonitor(const std::string& text);
    void updateMonitor(const ByteBuffer& sentence, bool recognised);
    void updateUnknown(const ByteBuffer& sentence);

    // A sentence whose checksum was verified (text up to the first NUL): decoded with the
    // sentence table, folded into the receiver state and shown, as the reader's updates
    // are. Main thread.
    void handleVerifiedSentence(const ByteBuffer& sentence);

    // Sentence handlers (main thread): show a decoded record. The lamp and the monitor line
    // are done before them.
    void updatePositionRMC(const RMC& rmc);
    void updatePositionGGA(const GGA& gga);
    void updatePositionGLL(const GLL& gll);
    void updatePositionGNS(const GNS& gns);
    void updateTimeZDA(const ZDA& zda);
    void updateHeadingHDT(const HDT& hdt);
    void updateCourseVTG(const VTG& vtg);
    void updateSatelliteGSV(const GSV& gsv);
    void updateSatelliteGSA(const GSA& gsa);

    // Position display (main thread). Any text may be absent.
    void setPosition(const std::optional<std::string>& utc,
                     const std::optional<std::string>& latitude,
                     const std::optional<std::string>& latitudeHemisphere,
                     const std::optional<std::string>& longitude,
                     const std::optional<std::string>& longitudeHemisphere,
                     const std::optional<std::string>& status,
                     const std::optional<std::string>& altitudeMeters);
    void setCogSog(const std::optional<std::string>& cogDegrees,
                   const std::optional<std::string>& sogKnots);
    // The same from decoded values; fix as setPosition's status gives it (0 none, 1 valid,
    // 2 differential ...).
    void setPosition(const std::optional<UtcTime>& utc, const std::optional<GeoPosition>& position,
                     std::int32_t fix, const std::optional<float>& altitudeMeters);
    // fromValidFix false: the values of a void fix, shown greyed until valid ones come.
    void setCogSog(const std::optional<float>& cogDegrees, const std::optional<float>& sogKnots,
                   bool fromValidFix = true);
    // After a sentence that carries speed and course: a value it did not supply, and no other
    // sentence of the epoch did, is unknown and shown blank rather than the last epoch's.
    void blankUnknownMotion(const std::optional<float>& cogDegrees, const std::optional<float>& sogKnots);
    // Staleness watch, run by the 15-second timer.
    void positionTimer();
    // Once a second: greys the read-outs the receiver stopped refreshing, turns the lamp
    // red when no sentence has come for a while.
    void freshnessTimer();
    // A checksum-valid sentence came (main thread, in arrival order).
    void sentenceArrived();
    void resetPositionDate();
    // "hhmmss.ss" as "hh:mm:ss", still UTC; empty for an absent or empty text.
    static std::string formatUtcToLocal(const std::optional<std::string>& utc);
    // "hh:mm:ss", whole seconds.
    static std::string formatUtc(const UtcTime& utc);
    void clearFields();

    // Window delegate.
    void windowWillClose() override;
    platform::Size windowWillResize(const platform::Size& proposed) override;
    void windowDidResize() override;

    // State read by tests and the instruments.
    std::int32_t fix() const { return m_fix; }
    float sog() const { return m_sog; }
    float cog() const { return m_cog; }
    std::uint32_t threadCommand() const { return m_threadCommand.load(); }
    const ReceiverState& receiverState() const { return m_state; }
    // Lines without "*hh" on a connection that has sent checksums: cut short on the way.
    std::uint64_t brokenLines() const { return m_brokenLines.load(); }
    // Sentence updates dropped because the main thread fell behind the queue's bound.
    std::uint64_t droppedUpdates() const { return m_droppedUpdates.load(); }
    // Lines that reached the main thread (handled, refused or unknown); main thread only.
    std::uint64_t linesPresented() const { return m_linesPresented; }
    static constexpr std::size_t kUpdateQueueLimit = 8192;

    // Leading-number readings of received texts, independent of the process locale: the
    // number at the start (after blanks), 0 when there is none. Integers saturate.
    static std::int32_t intValue(const std::string& text);
    static float floatValue(const std::string& text);

private:
    struct MainLink;
    // One item of the reader's queue: a status call, or a line with what the pipeline made of
    // it.
    struct Update {
        std::function<void()> call;  // set: a status call, result unused
        LineResult result;
    };
    void present(const Update& update);
    void monitorRejected(const ByteBuffer& line, const DecodeNote& note);
    void presentFrame(const LineResult& result);
    // "  <- verdict: problem (field)" under the line just shown.
    void monitorNote(const std::string& verdictKey, const DecodeNote& note);
    // Reader thread: queue an update; ask the main thread to drain the queue; before a read
    // that may wait, ask for it once it is due (no sooner than ~1/10 s after the last).
    void enqueue(Update update);
    void requestDrain();
    void showQueuedBeforeWaiting();
    // Main thread: apply everything queued, in order.
    void drainUpdates();

    void getRawSentencesThread();
    // reportFailure: a port that cannot be opened gets the sheet.
    void connectCommand(bool reportFailure = true);
    // Reconnects when the device of a lost connection is back, or connects to the first port
    // captured after a start without devices; true when it did.
    bool reconnectIfBack();
    void disconnectCommand();
    void readSentence();
    // One line as read (line feed included): through the pipeline into the queue.
    void takeLine(ByteBuffer line, double now);
    void takeResult(LineResult result, double now);
    void releasePort();
    // Every change of m_serialPort goes through here, under m_portMutex, so that shutdown()
    // can cancel a waiting read without racing the port's destruction.
    void setSerialPort(std::unique_ptr<Serial> port);
    bool stopping() const { return m_stopping.load(); }
    // Queue a call on the main thread, in order with the sentence updates; it does not run
    // once shutdown() has begun.
    void postToMain(std::function<void()> call);
    // The call, made harmless once shutdown() has begun (for callbacks that may come later).
    std::function<void()> whileAlive(std::function<void()> call) const;
    void showSheet(const std::string& messageKey, const std::optional<std::string>& informative,
                   std::function<void()> didEnd);

    // Outlets.
    platform::Window* m_gpsWindow = nullptr;
    platform::TextField* m_utcLabelField = nullptr;
    platform::TextField* m_latitudeLabelField = nullptr;
    platform::TextField* m_longitudeLabelField = nullptr;
    platform::TextField* m_cogLabelField = nullptr;
    platform::TextField* m_sogLabelField = nullptr;
    platform::TextField* m_fixLabelField = nullptr;
    platform::TextField* m_utcField = nullptr;
    platform::TextField* m_fixField = nullptr;
    platform::TextField* m_latitudeField = nullptr;
    platform::TextField* m_longitudeField = nullptr;
    platform::TextField* m_cogField = nullptr;
    platform::TextField* m_sogField = nullptr;
    DataLampView* m_dataReadyView = nullptr;
    CompassView* m_compassView = nullptr;
    [[maybe_unused]] platform::Button* m_satellitesButton = nullptr;  // only held
    [[maybe_unused]] platform::Button* m_settingsButton = nullptr;    // only held
    [[maybe_unused]] platform::Button* m_monitorButton = nullptr;     // only held
    platform::MenuItem* m_gpsConnectMenuItem = nullptr;
    GPSSettingsController* m_gpsSettingsController = nullptr;
    SatelliteStore* m_satelliteStore = nullptr;
    ReceiverTestController* m_receiverTestController = nullptr;
    MonitorController* m_monitorController = nullptr;
    [[maybe_unused]] SplashController* m_splashController = nullptr;  // only held
    platform::MainThread* m_mainThread = nullptr;
    platform::Sleeper* m_sleeper = nullptr;
    LineTap* m_lineTap = nullptr;

    std::unique_ptr<PositionFormatter> m_latitudePositionFormatter;
    std::unique_ptr<PositionFormatter> m_longitudePositionFormatter;
    std::unique_ptr<CourseFormatter> m_cogFormatter;
    std::unique_ptr<SpeedFormatter> m_sogFormatter;

    // Main thread.
    double m_positionDate = 0.0;  // platform::Clock seconds
    float m_sog = 0.0f;           // knots
    float m_cog = 0.0f;           // degrees true
    bool m_motionVoid = false;    // speed and course shown are those of a void fix
    std::int32_t m_fix = 0;
    ReceiverState m_state;
    std::uint64_t m_droppedShown = 0;
    std::uint64_t m_linesPresented = 0;
    bool m_stalenessSheetShown = false;
    std::unique_ptr<platform::Timer> m_positionTimer;
    std::unique_ptr<platform::Timer> m_freshnessTimer;
    ReadoutFreshness m_freshness;
    double m_lastSentenceTime = -1.0;  // platform::Clock seconds; < 0 before the first
    bool m_lampSilent = false;         // the lamp was turned red for a silent line

    // Written by the reader thread only, under m_portMutex; the reader reads it without the
    // lock, shutdown() with it.
    std::unique_ptr<Serial> m_serialPort;
    std::mutex m_portMutex;
    // Reader thread only.
    std::string m_connectedPort;
    SentencePipeline m_pipeline;  // of this connection
    std::vector<LineResult> m_results;  // scratch of readSentence()
    bool m_askedVersion = false;        // the MON-VER poll went out on this connection
    double m_lastDrainRequest = -1.0;  // steady seconds

    // The update queue, guarded by m_queueMutex.
    std::mutex m_queueMutex;
    std::deque<Update> m_updates;
    std::condition_variable m_queueSpace;  // a drain made room
    bool m_drainPending = false;
    bool m_mainThreadStuck = false;  // a full queue waited in vain since the last drain
    std::atomic<std::uint64_t> m_brokenLines{0};
    std::atomic<std::uint64_t> m_droppedUpdates{0};
    // The port of a connection the device's removal ended, reopened when it returns; empty
    // when nothing is awaited.
    std::string m_awaitedPort;
    // No device at start: connect once the settings have captured a port (one plugged in);
    // cleared by any connect or disconnect.
    bool m_connectWhenChosen = false;
    WrongRateWatch m_wrongRateWatch;

    // Shared between the threads.
    std::atomic<std::uint32_t> m_threadCommand{kNone};
    std::atomic<bool> m_connected{false};
    std::atomic<bool> m_stopping{false};
    std::shared_ptr<MainLink> m_link;
    std::thread m_readerThread;
};
