// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/LinePresenter.h"
#include "app/ReaderEvents.h"
#include "app/Readouts.h"
#include "app/ReceiverReader.h"
#include "platform/Geometry.h"
#include "platform/Window.h"

namespace platform {
class Button;
class MainThread;
class MenuItem;
class Sleeper;
class TextField;
class Timer;
}  // namespace platform

class CorrectionQueue;
class GPSSettingsController;
class LineTap;
class MonitorController;
class ReceiverTestController;
class SatelliteStore;
class SplashController;
enum class RestartDepth;

// The main window's controller: the user's commands and menus, the sheets, the staleness
// watch and the window's proportions. The receiver reader (its own thread) brings the lines
// and the connection's events; the line presenter and the read-outs show them.
//
// Outlets are set before start() and are not owned. shutdown() (also run by the destructor)
// stops the reader and the timers.
class GPSController : public platform::WindowDelegate, private ReaderEvents {
public:
    GPSController();
    ~GPSController() override;
    GPSController(const GPSController&) = delete;
    GPSController& operator=(const GPSController&) = delete;

    // Outlets.
    void setGpsWindow(platform::Window* window) { m_gpsWindow = window; }
    void setUtcLabelField(platform::TextField* field) { m_readouts.setUtcLabelField(field); }
    void setLatitudeLabelField(platform::TextField* field) { m_readouts.setLatitudeLabelField(field); }
    void setLongitudeLabelField(platform::TextField* field) { m_readouts.setLongitudeLabelField(field); }
    void setCogLabelField(platform::TextField* field) { m_readouts.setCogLabelField(field); }
    void setSogLabelField(platform::TextField* field) { m_readouts.setSogLabelField(field); }
    void setFixLabelField(platform::TextField* field) { m_readouts.setFixLabelField(field); }
    void setUtcField(platform::TextField* field) { m_readouts.setUtcField(field); }
    void setFixField(platform::TextField* field) { m_readouts.setFixField(field); }
    void setLatitudeField(platform::TextField* field) { m_readouts.setLatitudeField(field); }
    void setLongitudeField(platform::TextField* field) { m_readouts.setLongitudeField(field); }
    void setCogField(platform::TextField* field) { m_readouts.setCogField(field); }
    void setSogField(platform::TextField* field) { m_readouts.setSogField(field); }
    void setDataReadyView(DataLampView* view) { m_readouts.setDataReadyView(view); }
    void setCompassView(CompassView* view) { m_readouts.setCompassView(view); }
    // The buttons are only held: their actions are wired by the window.
    void setSatellitesButton(platform::Button*) {}
    void setSettingsButton(platform::Button*) {}
    void setMonitorButton(platform::Button*) {}
    void setGpsConnectMenuItem(platform::MenuItem* item) { m_gpsConnectMenuItem = item; }
    void setGpsSettingsController(GPSSettingsController* c);
    void setSatelliteStore(SatelliteStore* c);
    void setMonitorController(MonitorController* c);
    void setSplashController(SplashController* c) { m_readouts.setSplashController(c); }
    // Told of connects, closes and every folded sentence; not owned.
    void setReceiverTestController(ReceiverTestController* c);
    // The reader thread's way into the UI and its sleep; platform::services() when not set.
    // Set before start().
    void setMainThread(platform::MainThread* mainThread) { m_reader.setMainThread(mainThread); }
    void setSleeper(platform::Sleeper* sleeper) { m_reader.setSleeper(sleeper); }
    // Sees every line on the reader thread (recording, sharing). Not owned; set before
    // start() and kept until shutdown().
    void setLineTap(LineTap* tap) { m_reader.setLineTap(tap); }
    // A network receiver (tcp://, gpsd://) to read instead of the serial port; empty: the
    // preference "SourceURL" decides. Set before start().
    void setSource(const std::string& url) { m_sourceText = url; }
    // Corrections written to the receiver, each frame whole between reads. Not owned; set
    // before start() and kept until shutdown().
    void setCorrections(CorrectionQueue* queue) { m_reader.setCorrections(queue); }
    // Bytes for the receiver, written whole between reads. Any thread.
    void sendToReceiver(std::vector<std::uint8_t> bytes) { m_reader.sendToReceiver(std::move(bytes)); }
    bool requestReopenAt(std::uint32_t baud) { return m_reader.requestReopenAt(baud); }
    std::optional<std::uint32_t> lineRate() const { return m_reader.lineRate(); }
    // Each UBX frame as class, id and payload, main thread.
    void setUbxFrameListener(ReceiverReader::UbxFrameListener listener)
    {
        m_reader.setUbxFrameListener(std::move(listener));
    }
    // Each decoded UBX message, main thread.
    void setUbxListener(std::function<void(const binary::UbxRecord&)> listener)
    {
        m_reader.setUbxListener(std::move(listener));
    }

    // Centres the window, prepares the read-outs, starts the reader thread and the timers.
    void start();
    // Stops the reader thread (see ReceiverReader::shutdown) and the timers. Idempotent.
    void shutdown();

    // User commands (main thread).
    void onGPSConnect();
    void onGPSSettingsChange();
    void closeConnection();
    void releaseSerial();
    bool isMenuItemEnabled(platform::MenuItem* item);
    // Has the reader send a restart to the receiver. False without a serial connection or
    // while another command waits for the reader.
    bool requestRestart(RestartDepth depth) { return m_reader.requestRestart(depth); }

    // Sheets and monitor lines (main thread). The sheet's informative text is the
    // explanation, or the port when there is none.
    void openPortFail(const std::string& port, const std::string& explanation = {});
    void connectionLost(const std::string& port) override;
    void connectionClosed() override;
    void updateMonitor(const std::string& text);
    // A sentence whose checksum was verified (text up to the first NUL), shown as the reader's
    // lines are. Main thread.
    void handleVerifiedSentence(const ByteBuffer& sentence) { m_presenter.presentVerified(sentence); }
    // Staleness watch, run by the 15-second timer.
    void positionTimer();

    // Window delegate.
    void windowWillClose() override;
    platform::Size windowWillResize(const platform::Size& proposed) override;
    void windowDidResize() override { m_readouts.sizeFields(); }

    Readouts& readouts() { return m_readouts; }
    const ReceiverReader& reader() const { return m_reader; }
    // State read by tests, the panes and the statistics.
    std::int32_t fix() const { return m_readouts.fix(); }
    float sog() const { return m_readouts.sog(); }
    float cog() const { return m_readouts.cog(); }
    const ReceiverState& receiverState() const { return m_presenter.receiverState(); }
    bool hasConnection() const { return m_reader.hasConnection(); }
    std::uint32_t threadCommand() const { return m_reader.command(); }
    std::uint64_t brokenLines() const { return m_presenter.brokenLines(); }
    std::uint64_t droppedUpdates() const { return m_reader.droppedUpdates(); }
    std::uint64_t linesPresented() const { return m_presenter.linesPresented(); }
    static constexpr std::size_t kUpdateQueueLimit = ReceiverReader::kUpdateQueueLimit;

private:
    // Reader events.
    void readyToConnect() override { onGPSConnect(); }
    void connectionOpened() override;
    void openFailed(const std::string& port, const std::string& explanation) override
    {
        openPortFail(port, explanation);
    }
    void readerMessage(const std::string& text) override { updateMonitor(text); }
    void rateFound(const std::string& rate) override;
    void wrongRate() override;
    void lineRead(const LineResult& result) override { m_presenter.present(result); }
    void updatesDropped(std::uint64_t total) override;

    // The source to read, from the command line or the preferences; false (with the sheet
    // shown) when it cannot be read.
    bool chooseSource();
    void showSheet(const std::string& messageKey, const std::optional<std::string>& informative,
                   std::function<void()> didEnd);

    platform::Window* m_gpsWindow = nullptr;
    platform::MenuItem* m_gpsConnectMenuItem = nullptr;
    GPSSettingsController* m_gpsSettingsController = nullptr;
    MonitorController* m_monitorController = nullptr;
    ReceiverTestController* m_receiverTestController = nullptr;
    std::string m_sourceText;

    Readouts m_readouts;
    LinePresenter m_presenter{m_readouts};
    bool m_stalenessSheetShown = false;
    // Cleared at shutdown, so a sheet answered later does not reach a controller that is gone.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    std::unique_ptr<platform::Timer> m_positionTimer;
    std::unique_ptr<platform::Timer> m_freshnessTimer;
    // Last: its thread is joined before anything it reports to goes.
    ReceiverReader m_reader{*this};
};
