// SPDX-License-Identifier: BSD-2-Clause
#include "app/GPSController.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

#include <pthread.h>
#include <sys/stat.h>

#include "app/MonitorController.h"
#include "core/SatelliteStore.h"
#include "app/GPSSettingsController.h"
#include "app/CourseFormatter.h"
#include "app/PositionFormatter.h"
#include "app/SpeedFormatter.h"
#include "app/Connection.h"
#include "binary/UbxCommands.h"
#include "app/ReceiverCommands.h"
#include "app/ReceiverTestController.h"
#include "platform/Alerts.h"
#include "platform/Application.h"
#include "platform/MenuItem.h"
#include "platform/Services.h"
#include "platform/TextField.h"
#include "core/Alert.h"
#include "core/ConnectionDoctor.h"
#include "core/LineTap.h"
#include "core/NMEA.h"
#include "core/SentenceTable.h"
#include "core/CompassView.h"
#include "core/DataLampView.h"
#include "core/WrongRateWatch.h"
#include "core/Serial.h"

namespace {

constexpr double kStartupDelaySeconds = 2.0;
constexpr double kIdleSleepSeconds = 1.0;
// The receiver needs time to switch its rate before the old line is dropped.
constexpr double kRateSwitchPauseSeconds = 1.0;
constexpr double kPositionTimerSeconds = 15.0;
constexpr double kFreshnessTimerSeconds = 1.0;
// A read returns after this long on a quiet line, so commands are seen soon.
constexpr double kReadWaitSeconds = 0.5;
// Views redraw at most this often, however fast sentences come: ten times a second is as
// fast as a person reads a changing number.
constexpr double kDrainIntervalSeconds = 1.0 / 10.0;
// This many queued updates are drained at once, whatever the interval.
constexpr std::size_t kDrainBacklog = 1024;
// How long a full queue waits for the main thread before its oldest update is dropped.
constexpr double kQueueFullWaitSeconds = 0.25;

double steadySeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

// What the reader thread's queued calls share with the controller. It outlives the
// controller when calls are still queued at shutdown; once closed, they do nothing and a
// waiting reader is let go.
struct GPSController::MainLink {
    std::mutex mutex;
    std::condition_variable changed;
    bool open = true;  // guarded by mutex

    bool isOpen()
    {
        std::lock_guard lock(mutex);
        return open;
    }
};

GPSController::GPSController() : m_link(std::make_shared<MainLink>())
{
    m_latitudePositionFormatter = std::make_unique<PositionFormatter>(0, 1);
    m_latitudePositionFormatter->setAlign(true);
    m_longitudePositionFormatter = std::make_unique<PositionFormatter>(1, 1);
    m_longitudePositionFormatter->setAlign(true);
    m_cogFormatter = std::make_unique<CourseFormatter>();
    m_sogFormatter = std::make_unique<SpeedFormatter>();
}

GPSController::~GPSController()
{
    shutdown();
    // The fields outlive us; they must not keep pointing at our formatters.
    if (m_latitudeField) m_latitudeField->setFormatter(nullptr);
    if (m_longitudeField) m_longitudeField->setFormatter(nullptr);
    if (m_cogField) m_cogField->setFormatter(nullptr);
    if (m_sogField) m_sogField->setFormatter(nullptr);
}

void GPSController::start()
{
    if (m_gpsWindow) m_gpsWindow->center();
    loadSettings();
    if (m_latitudeField) m_latitudeField->setFormatter(m_latitudePositionFormatter.get());
    if (m_longitudeField) m_longitudeField->setFormatter(m_longitudePositionFormatter.get());
    if (m_cogField) m_cogField->setFormatter(m_cogFormatter.get());
    if (m_sogField) m_sogField->setFormatter(m_sogFormatter.get());
    clearFields();
    windowDidResize();
    if (m_compassView) m_compassView->setRange(90);

    const platform::Services& services = platform::services();
    if (!m_mainThread) m_mainThread = services.mainThread;
    if (!m_sleeper) m_sleeper = services.sleeper;
    if (m_mainThread && m_sleeper && !m_readerThread.joinable() && !stopping())
        m_readerThread = std::thread([this] { getRawSentencesThread(); });

    if (services.application) {
        m_positionTimer = services.application->scheduledTimer(kPositionTimerSeconds,
                                                               [this] { positionTimer(); });
        m_freshnessTimer = services.application->scheduledTimer(kFreshnessTimerSeconds,
                                                                [this] { freshnessTimer(); });
    }
    resetPositionDate();
}

void GPSController::shutdown()
{
    m_stopping.store(true);
    {
        std::lock_guard lock(m_link->mutex);
        m_link->open = false;
    }
    m_link->changed.notify_all();
    {
        std::lock_guard lock(m_queueMutex);  // a reader waiting for room sees m_stopping
    }
    m_queueSpace.notify_all();
    if (m_sleeper) m_sleeper->wake();
    {
        // A quiet line would hold the reader in its read for up to 5 s.
        std::lock_guard lock(m_portMutex);
        if (m_serialPort) m_serialPort->cancel();
    }
    if (m_readerThread.joinable()) m_readerThread.join();
    m_positionTimer.reset();
    m_freshnessTimer.reset();
}

// ---- Reader thread -------------------------------------------------------------------

void GPSController::getRawSentencesThread()
{
    // Named so it can be told apart in top, a debugger, or a CPU check.
    pthread_setname_np(pthread_self(), "gpsdesk-reader");
    if (m_sleeper->sleepFor(kStartupDelaySeconds) && !stopping()) {
        // Connect on our own when port and rate were restored; onGPSConnect opens the
        // settings drawer otherwise.
        if (m_gpsSettingsController && m_gpsSettingsController->canConnect() && !hasConnection())
            postToMain([this] { onGPSConnect(); });
        else if (m_gpsSettingsController && !m_gpsSettingsController->canConnect())
            m_connectWhenChosen = true;  // nothing to connect to yet: wait for a receiver
    }

    while (!stopping()) {
        std::uint32_t command = m_threadCommand.load();
        // The word goes back to 0 before the command is acted on; a newer command set in
        // between is kept for the next pass.
        if ((command == kConnect || command == kDisconnect) &&
            m_threadCommand.compare_exchange_strong(command, kNone)) {
            if (command == kConnect)
                connectCommand();
            else
                disconnectCommand();
        }
        if (command >= kRestartHot && command <= kRestartCold &&
            m_threadCommand.compare_exchange_strong(command, kNone) && m_serialPort && m_serialPort->isOpen()) {
            ReceiverCommands commands;
            commands.setPort(m_serialPort.get(), m_connectedPort, "");
            commands.restart(static_cast<RestartDepth>(command - kRestartHot));
        }
        if (stopping()) break;

        if (m_serialPort && !m_serialPort->isOpen()) releasePort();
        if (m_serialPort) {
            readSentence();
        } else if (reconnectIfBack()) {
            continue;
        } else if (!m_sleeper->sleepFor(kIdleSleepSeconds)) {
            break;
        }
    }
    releasePort();
}

void GPSController::releasePort()
{
    m_connected.store(false);
    if (m_serialPort) m_serialPort->closePort();
    setSerialPort(nullptr);
}

void GPSController::setSerialPort(std::unique_ptr<Serial> port)
{
    std::unique_ptr<Serial> old;  // destroyed after the lock is let go
    std::lock_guard lock(m_portMutex);
    old = std::move(m_serialPort);
    m_serialPort = std::move(port);
    // shutdown() may have looked for a port to cancel just before this one arrived.
    if (m_serialPort && stopping()) m_serialPort->cancel();
}

bool GPSController::reconnectIfBack()
{
    if (m_connectWhenChosen) {
        // The settings capture a receiver (or the stored port) when it is plugged in.
        if (!m_gpsSettingsController || !m_gpsSettingsController->port()
            || !m_gpsSettingsController->rate())
            return false;
        connectCommand();
        return m_serialPort != nullptr;
    }
    if (m_awaitedPort.empty()) return false;
    // The same choice is still wanted and its device node is there again (a by-id path comes
    // back even when the kernel numbers the device anew).
    const auto wanted = m_gpsSettingsController ? m_gpsSettingsController->port() : std::nullopt;
    if (wanted != m_awaitedPort) {
        m_awaitedPort.clear();
        return false;
    }
    struct stat info;
    if (::stat(m_awaitedPort.c_str(), &info) != 0 || !S_ISCHR(info.st_mode)) return false;
    const std::string port = m_awaitedPort;
    // Quietly: udev may not have given the node its group yet; the next pass tries again.
    connectCommand(false);
    if (!m_serialPort) {
        m_awaitedPort = port;  // there, but not ready yet: try again on the next pass
        return false;
    }
    postToMain([this, port] {
        updateMonitor(Alert::localizedStringWithKey("NSDoctorReconnected", {port}));
    });
    return true;
}

void GPSController::connectCommand(bool reportFailure)
{
    m_awaitedPort.clear();
    m_connectWhenChosen = false;
    // Copies: the main thread may capture a new choice at any moment.
    const std::optional<std::string> port =
        m_gpsSettingsController ? m_gpsSettingsController->port() : std::nullopt;
    const std::optional<std::string> rate =
        m_gpsSettingsController ? m_gpsSettingsController->rate() : std::nullopt;

    if (m_serialPort && m_serialPort->isOpen()) {
        // New settings: tell the receiver its new rate over the old line before dropping it.
        ReceiverCommands commands;
        commands.setPort(m_serialPort.get(), port.value_or(""), rate.value_or(""));
        commands.initialize();
        m_sleeper->sleepFor(kRateSwitchPauseSeconds);
        releasePort();
    }
    postToMain([this] { connectionClosed(); });
    if (stopping()) return;

    if (!port || !rate) {
        postToMain([this, path = port.value_or("")] { openPortFail(path); });
        return;
    }
    Connection connection(
        {.message = [this](const std::string& text) { postToMain([this, text] { updateMonitor(text); }); },
         .rateFound =
             [this](const std::string& found) {
                 postToMain([this, found] {
                     if (m_gpsSettingsController) m_gpsSettingsController->rateFound(found);
                 });
             }},
        [this] { return stopping(); });
    Connection::Opened opened = connection.open(
        *port, *rate, m_gpsSettingsController ? m_gpsSettingsController->storedRate() : std::nullopt);
    const std::string usedRate = opened.rate;
    const int error = opened.error;
    setSerialPort(std::move(opened.port));
    if (!m_serialPort) {
        if (stopping() || !reportFailure) return;
        std::string why = error != 0 ? ConnectionDoctor().explainOpenFailure(error, *port) : "";
        postToMain([this, path = *port, why = std::move(why)] { openPortFail(path, why); });
        return;
    }
    m_connectedPort = *port;
    m_pipeline = SentencePipeline(m_lineTap);
    m_askedVersion = false;
    m_connected.store(true);
    postToMain([this, text = "#### Open " + *port + " at " + usedRate] { updateMonitor(text); });
    postToMain([this] {
        const platform::Clock* clock = platform::services().clock;
        if (m_receiverTestController) m_receiverTestController->connected(clock ? clock->now() : 0.0);
    });
    // Two readers of one device each get part of the bytes; say so before the user wonders.
    if (const auto warning = ConnectionDoctor().sharedUseWarning(*port)) {
        std::fprintf(stderr, "gpsdesk: %s\n", warning->c_str());
        postToMain([this, text = *warning] { updateMonitor(text); });
    }

    std::vector<ByteBuffer> firstLines = Connection::initialise(*m_serialPort, *port, usedRate);
    // The wrong-rate spell counts from here: a slow receiver takes longer than a spell to send
    // the lines the initialisation waits for.
    m_wrongRateWatch.reset(steadySeconds(), m_serialPort->bytesReceived());
    // What the receiver said while its banner was awaited goes the normal road: a 1 Hz
    // receiver would otherwise lose the first 15 seconds of every connection.
    for (ByteBuffer& line : firstLines) takeLine(std::move(line), steadySeconds());
}

void GPSController::disconnectCommand()
{
    m_connectWhenChosen = false;
    if (!m_serialPort || !m_serialPort->isOpen()) return;
    releasePort();
    postToMain([this] { connectionClosed(); });
}

void GPSController::readSentence()
{
    showQueuedBeforeWaiting();
    // Whatever the line brings within half a second: NMEA lines and binary frames are cut from
    // it by the pipeline, so a receiver speaking UBX is read as well as one speaking NMEA.
    const ByteBuffer bytes = m_serialPort->readPortWithin(kReadWaitSeconds);
    const double now = steadySeconds();
    if (m_wrongRateWatch.observe(now, m_serialPort->bytesReceived())) {
        postToMain([this] {
            if (m_dataReadyView) m_dataReadyView->drawDataReady(1);
            updateMonitor(Alert::localizedStringWithKey("NSDoctorWrongRate"));
        });
    }
    m_results.clear();
    if (bytes.empty()) {
        // A device that hung up fails every read at once: end the connection rather than
        // spin on it.
        if (m_serialPort->hungUp()) {
            releasePort();
            m_awaitedPort = m_connectedPort;
            postToMain([this] { connectionClosed(); });
            postToMain([this, path = m_connectedPort] { connectionLost(path); });
            requestDrain();
            return;
        }
        // A quiet line: what waited for its rest will not get it.
        m_pipeline.drain(m_results);
    } else {
        m_pipeline.feed(bytes, m_results);
    }
    for (LineResult& result : m_results) takeResult(std::move(result), now);
    if (bytes.empty()) requestDrain();
}

void GPSController::takeLine(ByteBuffer line, double now)
{
    takeResult(m_pipeline.take(std::move(line)), now);
}

void GPSController::takeResult(LineResult result, double now)
{
    Update update;
    update.result = std::move(result);
    // A receiver that speaks UBX is asked once per connection who it is, for the identity
    // and health pane.
    if (update.result.kind == LineResult::Kind::Ubx && !m_askedVersion && m_serialPort) {
        m_askedVersion = true;
        const std::vector<std::uint8_t> poll = binary::ubxPollMonVer();
        (void)m_serialPort->writePort(poll);
    }
    switch (update.result.kind) {
    case LineResult::Kind::Dropped:
        return;
    case LineResult::Kind::Broken:
        break;
    case LineResult::Kind::Proprietary:
        m_wrongRateWatch.validSentence(now);
        return;  // passed on to the tap, nothing to show
    default:
        m_wrongRateWatch.validSentence(now);
        break;
    }
    enqueue(std::move(update));
}

void GPSController::showQueuedBeforeWaiting()
{
    {
        std::lock_guard lock(m_queueMutex);
        if (m_drainPending || m_updates.empty()) return;
    }
    // Within ~1/10 s of the last drain, what the line brings next joins the coming one: a
    // burst is read whole first. A line that stays quiet until then gets its updates shown.
    const double wait = m_lastDrainRequest + kDrainIntervalSeconds - steadySeconds();
    if (wait > 0.0 && m_serialPort->waitForInput(wait)) return;
    requestDrain();
}

void GPSController::enqueue(Update update)
{
    const bool isCall = static_cast<bool>(update.call);
    std::unique_lock lock(m_queueMutex);
    if (m_updates.size() >= kUpdateQueueLimit && !isCall && !m_mainThreadStuck) {
        // A burst faster than the main thread: give it a moment to catch up, so a flood from
        // a pseudo-terminal loses nothing. Only a main thread that stays stuck costs updates,
        // and then the reader reads on without waiting again until it has drained.
        m_mainThreadStuck = !m_queueSpace.wait_for(
            lock, std::chrono::duration<double>(kQueueFullWaitSeconds),
            [&] { return m_updates.size() < kUpdateQueueLimit || stopping(); });
    }
    if (m_updates.size() >= kUpdateQueueLimit) {
        // Whole sentence updates go, oldest first; status calls are never dropped.
        const auto oldest = std::find_if(m_updates.begin(), m_updates.end(),
                                         [](const Update& u) { return !u.call; });
        if (oldest != m_updates.end()) {
            m_updates.erase(oldest);
            m_droppedUpdates.fetch_add(1);
        }
    }
    m_updates.push_back(std::move(update));
    const bool backlog = m_updates.size() >= kDrainBacklog;
    lock.unlock();
    // Far behind: the main thread drains at once instead of at the next ~1/10 s.
    if (backlog) requestDrain();
}

void GPSController::requestDrain()
{
    {
        std::lock_guard lock(m_queueMutex);
        if (m_drainPending || m_updates.empty()) return;
        m_drainPending = true;
    }
    m_lastDrainRequest = steadySeconds();
    m_mainThread->post(whileAlive([this] { drainUpdates(); }));
}

void GPSController::drainUpdates()
{
    std::deque<Update> updates;
    {
        std::lock_guard lock(m_queueMutex);
        updates.swap(m_updates);
        m_drainPending = false;
        m_mainThreadStuck = false;
    }
    m_queueSpace.notify_all();
    for (const Update& update : updates) {
        if (!m_link->isOpen()) return;
        present(update);
    }
    const std::uint64_t dropped = m_droppedUpdates.load();
    if (dropped != m_droppedShown) {
        m_droppedShown = dropped;
        updateMonitor("#### " + Alert::localizedStringWithKey("NSUpdatesDropped") + " " + std::to_string(dropped));
    }
}

std::function<void()> GPSController::whileAlive(std::function<void()> call) const
{
    return [link = m_link, call = std::move(call)] {
        if (link->isOpen()) call();
    };
}

void GPSController::postToMain(std::function<void()> call)
{
    Update update;
    update.call = std::move(call);
    enqueue(std::move(update));
    requestDrain();
}

// ---- Main thread ---------------------------------------------------------------------

void GPSController::onGPSConnect()
{
    if (!m_gpsSettingsController) return;
    if (!m_gpsSettingsController->port() || !m_gpsSettingsController->rate()) {
        if (m_gpsWindow) m_gpsWindow->show();
        m_gpsSettingsController->open();
        if (m_gpsWindow) m_gpsWindow->show();
        return;
    }
    if (!hasConnection()) m_threadCommand.store(kConnect);
    if (m_gpsWindow) m_gpsWindow->show();
}

void GPSController::onGPSSettingsChange()
{
    if (m_gpsSettingsController && m_gpsSettingsController->getGPSSettingsSelection())
        m_threadCommand.store(kConnect);
}

void GPSController::closeConnection()
{
    if (hasConnection()) m_threadCommand.store(kDisconnect);
}

void GPSController::releaseSerial()
{
    closeConnection();
    if (m_gpsWindow) m_gpsWindow->close();
}

bool GPSController::isMenuItemEnabled(platform::MenuItem* item)
{
    if (item && item == m_gpsConnectMenuItem)
        return m_gpsSettingsController && m_gpsSettingsController->canConnect();
    return true;
}

void GPSController::windowWillClose()
{
    closeConnection();
    if (platform::Application* application = platform::services().application)
        application->terminate();
}

bool GPSController::requestRestart(RestartDepth depth)
{
    if (!hasConnection()) return false;
    std::uint32_t expected = kNone;
    return m_threadCommand.compare_exchange_strong(expected, kRestartHot + static_cast<std::uint32_t>(depth));
}

void GPSController::connectionClosed()
{
    if (m_receiverTestController) {
        const platform::Clock* clock = platform::services().clock;
        m_receiverTestController->disconnected(clock ? clock->now() : 0.0);
    }
    resetPositionDate();
    clearFields();
    if (m_dataReadyView) m_dataReadyView->drawDataReady(0);
    if (m_compassView) m_compassView->disable();
    m_sog = 0.0f;
    m_fix = 0;
    m_state.reset();
    if (m_satelliteStore) m_satelliteStore->reset();
}

void GPSController::showSheet(const std::string& messageKey,
                              const std::optional<std::string>& informative,
                              std::function<void()> didEnd)
{
    platform::Alerts* alerts = platform::services().alerts;
    if (!alerts) return;
    alerts->beginSheet(m_gpsWindow, Alert::localizedStringWithKey(messageKey), informative,
                       Alert::localizedStringWithKey("NSOK"), std::move(didEnd));
}

void GPSController::openPortFail(const std::string& port, const std::string& explanation)
{
    showSheet("NSUnableToOpenPort", explanation.empty() ? port : explanation, {});
}

void GPSController::connectionLost(const std::string& port)
{
    showSheet("NSConnectionLost", port, {});
    updateMonitor(Alert::localizedStringWithKey("NSDoctorWaitingForDevice", {port}));
}

void GPSController::updateMonitor(const std::string& text)
{
    if (!m_monitorController || text.empty()) return;
    m_monitorController->append(text, false);
    m_monitorController->append("\n", false);
}

void GPSController::updateMonitor(const ByteBuffer& sentence, bool recognised)
{
    if (!m_monitorController) return;
    // The text up to the first NUL, through the codec's ISO-8859-1 reading, so the monitor
    // always gets valid UTF-8.
    const auto nul = std::find(sentence.begin(), sentence.end(), std::uint8_t{0});
    const std::optional<std::string> text =
        NMEA::address(sentence, 0, static_cast<std::uint32_t>(nul - sentence.begin()));
    m_monitorController->append(text.value_or(""), recognised);
    m_monitorController->append("\n", recognised);
}

void GPSController::updateUnknown(const ByteBuffer& sentence)
{
    if (sentence.empty() || sentence[0] != '$') return;
    if (m_dataReadyView) m_dataReadyView->drawDataReady(1);
    updateMonitor(sentence, false);
}
