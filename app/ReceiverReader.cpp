// SPDX-License-Identifier: BSD-2-Clause
#include "app/ReceiverReader.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "app/ReaderEvents.h"
#include "binary/UbxCommands.h"
#include "platform/Alert.h"
#include "platform/Application.h"  // MainThread, Sleeper
#include "platform/Services.h"
#include "serial/Connection.h"
#include "serial/ConnectionDoctor.h"
#include "serial/PortDiscovery.h"
#include "serial/ReceiverCommands.h"
#include "serial/Serial.h"
#include "sources/ByteSource.h"
#include "sources/CorrectionQueue.h"
#include "stream/SerialLink.h"
#include "stream/SourceLink.h"

namespace {

constexpr double kStartupDelaySeconds = 2.0;
constexpr double kIdleSleepSeconds = 1.0;
// The receiver needs time to switch its rate before the old line is dropped.
constexpr double kRateSwitchPauseSeconds = 1.0;
// A read returns after this long on a quiet line, so commands are seen soon.
constexpr double kReadWaitSeconds = 0.5;
// Views redraw at most this often, however fast sentences come. Five times a second is faster
// than a person reads a changing number and than most receivers fix (a 10 Hz receiver's
// read-outs show every other fix; every sentence is still taken), and it halves what the
// window costs against ten.
constexpr double kDrainIntervalSeconds = 1.0 / 5.0;
// This many queued updates are drained at once, whatever the interval.
constexpr std::size_t kDrainBacklog = 1024;
// How long a full queue waits for the main thread before its oldest update is dropped.
constexpr double kQueueFullWaitSeconds = 0.25;
constexpr auto kSourceOpenTimeout = std::chrono::seconds(10);
// A lost network source is tried again after 2 s, then 4, 8 ... up to a minute.
constexpr double kSourceFirstRetrySeconds = 2.0;
constexpr double kSourceLongestRetrySeconds = 60.0;

double steadySeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

// What queued drains share with the reader. It outlives the reader when a drain is still
// queued at shutdown; once closed, a drain does nothing.
struct ReceiverReader::Alive {
    std::atomic<bool> open{true};
};

ReceiverReader::ReceiverReader(ReaderEvents& events)
    : m_events(events), m_queue(kUpdateQueueLimit, kQueueFullWaitSeconds), m_alive(std::make_shared<Alive>())
{
}

ReceiverReader::~ReceiverReader()
{
    shutdown();
}

void ReceiverReader::start()
{
    const platform::Services& services = platform::services();
    if (!m_mainThread) m_mainThread = services.mainThread;
    if (!m_sleeper) m_sleeper = services.sleeper;
    if (m_mainThread && m_sleeper && !m_thread.joinable() && !stopping())
        m_thread = std::thread([this] { run(); });
}

void ReceiverReader::shutdown()
{
    m_stopping.store(true);
    m_alive->open.store(false);
    m_queue.close();
    if (m_sleeper) m_sleeper->wake();
    {
        // A quiet line would hold the reader in its read for up to 5 s.
        std::lock_guard lock(m_linkMutex);
        if (m_link) m_link->cancel();
        if (m_opening) m_opening->cancel();
    }
    if (m_thread.joinable()) m_thread.join();
}

void ReceiverReader::sendToReceiver(std::vector<std::uint8_t> bytes)
{
    if (!bytes.empty()) m_outgoing.push({std::move(bytes), 0});
}

bool ReceiverReader::requestReopenAt(std::uint32_t baud)
{
    if (!m_connected.load() || m_lineRate.load() == 0 || baud == 0) return false;
    m_outgoing.push({{}, baud});
    return true;
}

bool ReceiverReader::requestRestart(RestartDepth depth)
{
    // The restart commands go through the serial port's receiver commands.
    if (!hasConnection() || readsSource()) return false;
    std::uint32_t expected = kNone;
    return m_command.compare_exchange_strong(expected, kRestartHot + static_cast<std::uint32_t>(depth));
}

// ---- Reader thread -------------------------------------------------------------------

void ReceiverReader::run()
{
    // Named so it can be told apart in top, a debugger, or a CPU check.
    PortDiscovery::nameThread("gpsdesk-reader");
    if (m_sleeper->sleepFor(kStartupDelaySeconds) && !stopping()) {
        // Connect on our own when port and rate were restored (or a source was given); the
        // window opens the settings drawer otherwise.
        const Choice choice = m_choice ? m_choice() : Choice{};
        if ((readsSource() || choice.canConnect) && !hasConnection())
            post(ReaderUpdate::Kind::ReadyToConnect);
        else if (!choice.canConnect)
            m_connectWhenChosen = true;  // nothing to connect to yet: wait for a receiver
    }

    while (!stopping()) {
        std::uint32_t command = m_command.load();
        // The word goes back to 0 before the command is acted on; a newer command set in
        // between is kept for the next pass.
        if ((command == kConnect || command == kDisconnect) && m_command.compare_exchange_strong(command, kNone)) {
            if (command == kConnect)
                connect();
            else
                disconnect();
        }
        if (command >= kRestartHot && command <= kRestartCold && m_command.compare_exchange_strong(command, kNone) &&
            m_link && m_link->serial()) {
            ReceiverCommands commands;
            commands.setPort(m_link->serial(), m_connectedName, "");
            commands.restart(static_cast<RestartDepth>(command - kRestartHot));
        }
        if (stopping()) break;

        if (m_link) {
            writePending();
            readOnce();
        } else if (reconnectIfBack()) {
            continue;
        } else if (!m_sleeper->sleepFor(kIdleSleepSeconds)) {
            break;
        }
    }
    releaseLink();
}

void ReceiverReader::releaseLink()
{
    m_connected.store(false);
    m_lineRate.store(0);
    if (m_link) m_link->close();
    setLink(nullptr);
    m_outgoing.clear();  // commands for a receiver that is gone are not kept for the next one
}

void ReceiverReader::setLink(std::unique_ptr<ReaderLink> link)
{
    std::unique_ptr<ReaderLink> old;  // destroyed after the lock is let go
    std::lock_guard lock(m_linkMutex);
    old = std::move(m_link);
    m_link = std::move(link);
    // shutdown() may have looked for a link to cancel just before this one arrived.
    if (m_link && stopping()) m_link->cancel();
}

bool ReceiverReader::reconnectIfBack()
{
    if (readsSource()) {
        if (!m_sourceRetryAt || steadySeconds() < *m_sourceRetryAt) return false;
        connect(false);
        if (!m_link) return false;
        post(ReaderUpdate::Kind::Message, Alert::localizedStringWithKey("DoctorReconnected", {m_connectedName}));
        return true;
    }
    if (m_connectWhenChosen) {
        // The settings capture a receiver (or the stored port) when it is plugged in.
        const Choice choice = m_choice ? m_choice() : Choice{};
        if (!choice.port || !choice.rate) return false;
        connect();
        return m_link != nullptr;
    }
    if (m_awaitedPort.empty()) return false;
    // The same choice is still wanted and its device node is there again (a by-id path comes
    // back even when the kernel numbers the device anew).
    const auto wanted = m_choice ? m_choice().port : std::nullopt;
    if (wanted != m_awaitedPort) {
        m_awaitedPort.clear();
        return false;
    }
    if (!PortDiscovery::isDeviceNode(m_awaitedPort)) return false;
    const std::string port = m_awaitedPort;
    // Quietly: udev may not have given the node its group yet; the next pass tries again.
    connect(false);
    if (!m_link) {
        m_awaitedPort = port;  // there, but not ready yet: try again on the next pass
        return false;
    }
    post(ReaderUpdate::Kind::Message, Alert::localizedStringWithKey("DoctorReconnected", {port}));
    return true;
}

void ReceiverReader::connect(bool reportFailure)
{
    m_awaitedPort.clear();
    m_connectWhenChosen = false;
    // Copies: the main thread may capture a new choice at any moment.
    const Choice choice = m_choice ? m_choice() : Choice{};
    if (m_link) {
        // New settings: tell the receiver its new rate over the old line before dropping it.
        if (Serial* serial = m_link->serial()) {
            ReceiverCommands commands;
            commands.setPort(serial, choice.port.value_or(""), choice.rate.value_or(""));
            commands.initialize();
            m_sleeper->sleepFor(kRateSwitchPauseSeconds);
        }
        releaseLink();
    }
    post(ReaderUpdate::Kind::Closed);
    if (stopping()) return;
    if (readsSource())
        connectSource(reportFailure);
    else
        connectSerial(choice, reportFailure);
}

void ReceiverReader::connectSerial(const Choice& choice, bool reportFailure)
{
    if (!choice.port || !choice.rate) {
        post(ReaderUpdate::Kind::OpenFailed, choice.port.value_or(""));
        return;
    }
    Connection connection(
        {.message = [this](const std::string& text) { post(ReaderUpdate::Kind::Message, text); },
         .rateFound = [this](const std::string& found) { post(ReaderUpdate::Kind::RateFound, found); }},
        [this] { return stopping(); });
    Connection::Opened opened = connection.open(*choice.port, *choice.rate, choice.storedRate);
    if (!opened.port) {
        if (stopping() || !reportFailure) return;
        std::string why = opened.error != 0 ? ConnectionDoctor().explainOpenFailure(opened.error, *choice.port) : "";
        post(ReaderUpdate::Kind::OpenFailed, *choice.port, std::move(why));
        return;
    }
    Serial& serial = *opened.port;
    setLink(std::make_unique<SerialLink>(std::move(opened.port), *choice.port, opened.rate));
    m_lineRate.store(m_link->lineRate().value_or(0));
    const std::string& port = *choice.port;
    m_connectedName = port;
    m_pipeline = SentencePipeline(m_lineTap);
    m_askedVersion = false;
    m_connected.store(true);
    post(ReaderUpdate::Kind::Message, "#### Open " + port + " at " + opened.rate);
    post(ReaderUpdate::Kind::Opened);
    // Two readers of one device each get part of the bytes; say so before the user wonders.
    if (const auto warning = ConnectionDoctor().sharedUseWarning(port)) {
        std::fprintf(stderr, "gpsdesk: %s\n", warning->c_str());
        post(ReaderUpdate::Kind::Message, *warning);
    }

    std::vector<ByteBuffer> firstLines = Connection::initialise(serial, port, opened.rate);
    // The wrong-rate spell counts from here: a slow receiver takes longer than a spell to send
    // the lines the initialisation waits for.
    m_wrongRateWatch.reset(steadySeconds(), serial.bytesReceived());
    // What the receiver said while its banner was awaited goes the normal road: a 1 Hz
    // receiver would otherwise lose the first 15 seconds of every connection.
    for (ByteBuffer& line : firstLines) takeLine(std::move(line), steadySeconds());
}

void ReceiverReader::connectSource(bool reportFailure)
{
    std::unique_ptr<ByteSource> source = makeByteSource(*m_source);
    const std::string name = m_source->toString();
    if (!source) {
        post(ReaderUpdate::Kind::OpenFailed, name);
        return;
    }
    {
        std::lock_guard lock(m_linkMutex);
        m_opening = source.get();
        // shutdown() may have come before the source was there to cancel.
        if (stopping()) source->cancel();
    }
    const bool opened = source->open(kSourceOpenTimeout);
    {
        std::lock_guard lock(m_linkMutex);
        m_opening = nullptr;
    }
    if (!opened) {
        if (m_sourceRetryAt) {
            // Still away: wait longer before the next try.
            m_sourceBackoffSeconds = std::min(m_sourceBackoffSeconds * 2.0, kSourceLongestRetrySeconds);
            m_sourceRetryAt = steadySeconds() + m_sourceBackoffSeconds;
        }
        if (stopping() || !reportFailure) return;
        post(ReaderUpdate::Kind::OpenFailed, source->name(), source->message().text());
        return;
    }
    m_sourceRetryAt.reset();
    m_connectedName = source->name();
    setLink(std::make_unique<SourceLink>(std::move(source)));
    m_pipeline = SentencePipeline(m_lineTap);
    m_askedVersion = false;
    m_connected.store(true);
    post(ReaderUpdate::Kind::Message, "#### Open " + m_connectedName);
    post(ReaderUpdate::Kind::Opened);
}

void ReceiverReader::disconnect()
{
    m_connectWhenChosen = false;
    m_sourceRetryAt.reset();
    if (!m_link) return;
    releaseLink();
    post(ReaderUpdate::Kind::Closed);
}

void ReceiverReader::connectionEnded(bool lost)
{
    releaseLink();
    post(ReaderUpdate::Kind::Closed);
    if (!lost) return;
    if (readsSource()) {
        m_sourceBackoffSeconds = kSourceFirstRetrySeconds;
        m_sourceRetryAt = steadySeconds() + m_sourceBackoffSeconds;
    } else {
        m_awaitedPort = m_connectedName;
    }
    post(ReaderUpdate::Kind::Lost, m_connectedName);
}

void ReceiverReader::reopenAt(std::uint32_t baud)
{
    const std::string rate = std::to_string(baud);
    if (!m_link->reopenAt(baud)) {
        // The configuration waits for the receiver in vain and goes back to the old rate.
        post(ReaderUpdate::Kind::Message, Alert::localizedStringWithKey("ConfigReopenFailed", {rate}));
        if (!m_link->serial() || !m_link->serial()->isOpen()) {
            connectionEnded(true);
            requestDrain();
        }
        return;
    }
    m_lineRate.store(baud);
    m_pipeline = SentencePipeline(m_lineTap);
    post(ReaderUpdate::Kind::Message, "#### Open " + m_connectedName + " at " + rate);
    // Kept as the rate to open at next time, as a rate found by a hunt is.
    post(ReaderUpdate::Kind::RateFound, rate);
}

void ReceiverReader::writePending()
{
    // Each command and each correction frame in one write of its own, between reads: a frame
    // is never cut by another.
    for (const OutgoingCommands::Command& command : m_outgoing.takeAll()) {
        if (command.reopenAt != 0) {
            reopenAt(command.reopenAt);
            if (!m_link) return;
            continue;
        }
        if (m_link->write(command.bytes)) continue;
        const std::string why = m_link->refusal();
        if (!why.empty()) post(ReaderUpdate::Kind::Message, why);
    }
    if (m_corrections)
        for (const std::vector<std::uint8_t>& frame : m_corrections->takeAll()) (void)m_link->write(frame);
}

void ReceiverReader::readOnce()
{
    showQueuedBeforeWaiting();
    // Whatever the line brings within half a second: NMEA lines and binary frames are cut from
    // it by the pipeline, so a receiver speaking UBX is read as well as one speaking NMEA.
    ByteBuffer bytes;
    const ReaderLink::Read got = m_link->read(bytes, kReadWaitSeconds);
    const double now = steadySeconds();
    // A network source has no line rate to be wrong.
    if (m_link->serial() && m_wrongRateWatch.observe(now, m_link->bytesRead()))
        post(ReaderUpdate::Kind::WrongRate);
    m_results.clear();
    if (got == ReaderLink::Read::HungUp || got == ReaderLink::Read::Closed) {
        // What waited for its rest will not get it; then the connection ends rather than
        // spin on a device that fails every read at once.
        m_pipeline.drain(m_results);
        for (LineResult& result : m_results) takeResult(std::move(result), now);
        connectionEnded(got == ReaderLink::Read::HungUp);
        requestDrain();
        return;
    }
    if (got == ReaderLink::Read::Quiet)
        m_pipeline.drain(m_results);  // a quiet line: what waited for its rest will not get it
    else
        m_pipeline.feed(bytes, m_results);
    for (LineResult& result : m_results) takeResult(std::move(result), now);
    if (got == ReaderLink::Read::Quiet) requestDrain();
}

void ReceiverReader::takeLine(ByteBuffer line, double now)
{
    takeResult(m_pipeline.take(std::move(line)), now);
}

void ReceiverReader::takeResult(LineResult result, double now)
{
    // A receiver that speaks UBX is asked once per connection who it is, for the identity
    // and health pane.
    if (result.kind == LineResult::Kind::Ubx && !m_askedVersion && m_link) {
        m_askedVersion = true;
        (void)m_link->write(binary::ubxPollMonVer());
    }
    switch (result.kind) {
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
    ReaderUpdate update;
    update.result = std::move(result);
    enqueue(std::move(update));
}

void ReceiverReader::showQueuedBeforeWaiting()
{
    if (!m_queue.undrained()) return;
    // Within ~1/10 s of the last drain, what the line brings next joins the coming one: a
    // burst is read whole first, in as few reads as the port allows rather than one a line.
    // A line that stays quiet until then gets its updates shown.
    double wait = m_lastDrainRequest + kDrainIntervalSeconds - steadySeconds();
    if (wait > 0.0) {
        m_link->gather(wait);
        wait = m_lastDrainRequest + kDrainIntervalSeconds - steadySeconds();
        if (m_link->waitForInput(std::max(0.0, wait))) return;
    }
    requestDrain();
}

void ReceiverReader::enqueue(ReaderUpdate update)
{
    // Far behind: the main thread drains at once instead of at the next ~1/10 s.
    if (m_queue.push(std::move(update)) >= kDrainBacklog) requestDrain();
}

void ReceiverReader::post(ReaderUpdate::Kind kind, std::string text, std::string detail)
{
    ReaderUpdate update;
    update.kind = kind;
    update.text = std::move(text);
    update.detail = std::move(detail);
    enqueue(std::move(update));
    requestDrain();
}

void ReceiverReader::requestDrain()
{
    if (!m_queue.needsDrain()) return;
    m_lastDrainRequest = steadySeconds();
    m_mainThread->post([alive = m_alive, this] {
        if (alive->open.load()) drain();
    });
}

// ---- Main thread ---------------------------------------------------------------------

void ReceiverReader::drain()
{
    for (const ReaderUpdate& update : m_queue.takeAll()) {
        if (!m_alive->open.load()) return;
        deliver(update);
    }
    const std::uint64_t dropped = m_queue.dropped();
    if (dropped != m_droppedShown) {
        m_droppedShown = dropped;
        m_events.updatesDropped(dropped);
    }
}

void ReceiverReader::deliver(const ReaderUpdate& update)
{
    tell(m_events, update);
    if (update.kind != ReaderUpdate::Kind::Line) return;
    if (update.result.ubx && m_ubxListener) m_ubxListener(*update.result.ubx);
    if (update.result.kind == LineResult::Kind::Ubx && m_ubxFrameListener)
        m_ubxFrameListener(update.result.ubxClass, update.result.ubxId, update.result.ubxPayload);
}
