// SPDX-License-Identifier: BSD-2-Clause
#include "headless/HeadlessSession.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <memory>

#include "serial/Connection.h"
#include "serial/ReceiverConfiguration.h"
#include "stream/SerialLink.h"
#include "stream/SourceLink.h"
#include "binary/UbxCommands.h"
#include "sources/ByteSource.h"
#include "sources/CorrectionQueue.h"
#include "platform/Alert.h"
#include "serial/ConnectionDoctor.h"
#include "stream/CycleWatch.h"
#include "stream/GpsdReport.h"
#include "receiver/ReceiverState.h"
#include "quality/ReceiverTest.h"
#include "quality/ReceiverTestFeed.h"
#include "stream/SentencePipeline.h"
#include "nmea/SentenceTable.h"
#include "serial/Serial.h"
#include "platform/Application.h"
#include "platform/Services.h"

namespace {

// A read returns after this long on a quiet line, so stop() and the answer clock are seen soon.
constexpr double kReadWaitSeconds = 0.5;

double nowSeconds()
{
    if (const platform::Clock* clock = platform::services().clock) return clock->now();
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

HeadlessSession::HeadlessSession(Sink reports, Sink messages, LineTap* tap)
    : m_reports(std::move(reports)), m_messages(std::move(messages)), m_tap(tap)
{
}

HeadlessSession::~HeadlessSession() = default;

void HeadlessSession::stop()
{
    m_stopping.store(true);
    std::lock_guard lock(m_linkMutex);
    if (m_serial) m_serial->cancel();
    if (m_source) m_source->cancel();
}

bool HeadlessSession::runSource(ByteSource& source)
{
    {
        std::lock_guard lock(m_linkMutex);
        m_source = &source;
        // stop() may have come before the source was set.
        if (m_stopping.load()) source.cancel();
    }
    const auto forget = [this] {
        std::lock_guard lock(m_linkMutex);
        m_source = nullptr;
    };
    if (!source.open(std::chrono::seconds(10))) {
        m_messages(source.message().text());
        forget();
        return false;
    }
    m_messages(Alert::localizedStringWithKey("headless.readingSource", {source.name()}));
    SourceLink link(source);
    readUntilStopped(link, source.name(), {});
    forget();
    source.close();
    return true;
}

bool HeadlessSession::run(const std::string& port, const std::string& rate,
                          const std::optional<std::string>& storedRate)
{
    Connection connection({.message = m_messages, .rateFound = {}}, [this] { return m_stopping.load(); });
    Connection::Opened opened = connection.open(port, rate, storedRate);
    if (!opened.port) {
        if (m_stopping.load() && opened.error == 0) {
            m_messages(Alert::localizedStringWithKey("DoctorRateCutShort"));
            return false;
        }
        m_messages(Alert::localizedStringWithKey("UnableToOpenPort") + " " + port + "\n"
                   + ConnectionDoctor().explainOpenFailure(opened.error, port));
        return false;
    }
    std::unique_ptr<Serial> serial = std::move(opened.port);
    {
        std::lock_guard lock(m_linkMutex);
        m_serial = serial.get();
        // stop() may have come before the port existed.
        if (m_stopping.load()) serial->cancel();
    }
    // A message to a person, not the monitor's "#### Open" line.
    m_messages(Alert::localizedStringWithKey("headless.readingPort", {port, opened.rate}));
    if (const auto warning = ConnectionDoctor().sharedUseWarning(port)) m_messages(*warning);
    std::vector<ByteBuffer> firstLines = Connection::initialise(*serial, port, opened.rate);
    SerialLink link(*serial, port, opened.rate);
    // A receiver told to change its line rate is followed on a new port object, which stop()
    // must be able to cancel too.
    link.setReplacedListener([this](Serial& next) {
        std::lock_guard lock(m_linkMutex);
        m_serial = &next;
        if (m_stopping.load()) next.cancel();
    });
    readUntilStopped(link, port, std::move(firstLines));
    {
        std::lock_guard lock(m_linkMutex);
        m_serial = nullptr;
    }
    link.close();
    return true;
}

void HeadlessSession::readUntilStopped(ReaderLink& link, const std::string& port,
                                       std::vector<ByteBuffer> firstLines)
{
    ReceiverState state;
    SentencePipeline pipeline(m_tap);
    std::string lastTpv;
    // The receiver test's figures, as a TEST line whenever they change; its clock starts
    // with the connection.
    const auto test = std::make_unique<ReceiverTest>();
    ReceiverTestFeed feed(*test);
    feed.connected(nowSeconds());
    std::string lastTest;
    double lastTestTime = -1e9;
    CycleWatch cycle;
    ReceiverState::Changes pending = 0;
    // One TPV, SKY and TEST report per receiver cycle, as gpsd writes them; each only when
    // it says something new.
    const auto report = [&] {
        if (pending == 0) return;
        if (pending & (ReceiverState::kSatellites | ReceiverState::kUsed))
            m_reports(gpsdreport::sky(state));
        std::string tpv = gpsdreport::tpv(state);
        if (tpv != lastTpv) {
            m_reports(tpv);
            lastTpv = std::move(tpv);
        }
        // The receiver test's figures at most once a second: they move slowly, and a log
        // replayed at full speed would otherwise work them out thousands of times a second.
        const double now = nowSeconds();
        if (now - lastTestTime >= 1.0) {
            std::string testLine = gpsdreport::test(*test);
            if (testLine != lastTest) {
                m_reports(testLine);
                lastTest = std::move(testLine);
                lastTestTime = now;
            }
        }
        pending = 0;
        if (m_cycleListener) m_cycleListener(state);
    };
    // When the bytes at hand were read: what they bring is stamped with it (one clock reading
    // for the tens of sentences of a read at full speed).
    double readTime = nowSeconds();
    std::optional<std::uint32_t> ubxEpoch;  // time of week of the UBX epoch being gathered
    std::uint16_t lastRtcm = 0;
    bool askedVersion = false;
    // The configuration, sent once the receiver is read; each write waits for its answer,
    // and a line-rate change is followed by reopening the port.
    std::unique_ptr<ReceiverConfiguration> configuration;
    if (!m_configuration.empty() || m_saveConfiguration) {
        ReceiverConfiguration::Hooks hooks;
        hooks.send = [this, &link](std::vector<std::uint8_t> frame) {
            // Said at once: the answer it waits for cannot come.
            if (link.write(frame)) return;
            const std::string why = link.refusal();
            m_messages(why.empty() ? Alert::localizedStringWithKey("ConfigWriteFailed") : why);
            m_configurationFailed.store(true);
        };
        hooks.message = [this](const std::string& text, bool) { m_messages(text); };
        hooks.reopenAt = [&link](std::uint32_t baud) { return link.reopenAt(baud); };
        hooks.now = nowSeconds;
        configuration = std::make_unique<ReceiverConfiguration>(std::move(hooks));
        configuration->setLineRate(link.lineRate());
    }
    const auto configure = [&] {
        if (!configuration) return;
        if (m_configuration.empty()) configuration->save();
        else configuration->apply(m_configuration, m_saveConfiguration);
        if (configuration->failed()) m_configurationFailed.store(true);
    };
    const auto takeUbx = [&](const binary::UbxRecord& record) {
        // A UBX epoch ends when its end-of-epoch message comes, or when a message of the next
        // epoch (another time of week) arrives first.
        const std::optional<std::uint32_t> epoch = std::visit(
            [](const auto& r) -> std::optional<std::uint32_t> {
                if constexpr (requires { r.timeOfWeekMs; }) return r.timeOfWeekMs;
                else return std::nullopt;
            },
            record);
        if (epoch && ubxEpoch && *epoch != *ubxEpoch) report();
        if (epoch) ubxEpoch = epoch;
        const double now = readTime;
        pending |= state.apply(record, now) | state.expire(now) | ReceiverState::Changes{1u << 31};
        if (std::holds_alternative<binary::UbxNavEoe>(record)) report();
    };
    const auto take = [&](LineResult result) {
        if (result.kind == LineResult::Kind::Broken || result.kind == LineResult::Kind::Refused) {
            ++m_rejected;
            return;
        }
        if (result.kind == LineResult::Kind::Ubx) {
            ++m_handled;
            // A receiver that speaks UBX is asked once who it is (model, firmware, protocol),
            // but not while it is being configured: the answer, late across a line-rate
            // change, would count as the receiver heard at the new rate.
            if (!askedVersion && !(configuration && configuration->busy())) {
                askedVersion = true;
                (void)link.write(binary::ubxPollMonVer());
            }
            // The whole frame: an older receiver's configuration answers have no record.
            if (configuration) {
                configuration->onUbxFrame(result.ubxClass, result.ubxId, result.ubxPayload);
                if (configuration->failed()) m_configurationFailed.store(true);
            }
            if (result.ubx) takeUbx(*result.ubx);
            return;
        }
        if (result.kind == LineResult::Kind::Rtcm3) {
            ++m_handled;
            // One report whenever the message type changes, as gpsd writes them.
            if (result.rtcm && result.rtcmMessage != lastRtcm)
                m_reports(gpsdreport::rtcm3(*result.rtcm, result.frameLength));
            lastRtcm = result.rtcmMessage;
            return;
        }
        if (result.kind != LineResult::Kind::Decoded) return;
        ++m_handled;
        if (cycle.startsCycle(*result.record)) report();
        const double now = readTime;
        const ReceiverState::Changes changes = state.apply(*result.record, now) | state.expire(now);
        // Every decoded sentence counts as news: even one that changes nothing ends a cycle.
        pending |= changes | ReceiverState::Changes{1u << 31};
        feed.apply(state, *result.record, changes, now);
        if (cycle.endsCycle(result.sentenceKind->type)) report();
    };
    for (ByteBuffer& line : firstLines) take(pipeline.take(std::move(line)));
    m_bytesRead.store(link.bytesRead());
    std::vector<LineResult> results;
    ByteBuffer bytes;
    // The configuration goes out as soon as the receiver is read.
    configure();
    while (!m_stopping.load()) {
        if (configuration) {
            configuration->tick();
            if (configuration->failed()) m_configurationFailed.store(true);
        }
        // Corrections go to the receiver whole, each in one write, between reads: never in
        // the middle of another write.
        if (m_corrections)
            for (const std::vector<std::uint8_t>& frame : m_corrections->takeAll()) (void)link.write(frame);
        // Whatever the line brings within half a second, cut into NMEA lines and UBX and
        // RTCM 3 frames.
        const ReaderLink::Read got = link.read(bytes, kReadWaitSeconds);
        readTime = nowSeconds();
        m_bytesRead.store(link.bytesRead());
        results.clear();
        if (got == ReaderLink::Read::HungUp) {
            pipeline.drain(results);
            for (LineResult& result : results) take(std::move(result));
            report();
            if (m_reportsDone) m_reportsDone();
            m_messages(Alert::localizedStringWithKey("ConnectionLost") + " " + port);
            return;
        }
        if (got == ReaderLink::Read::Closed) break;  // closed or cancelled
        if (got == ReaderLink::Read::Quiet)
            pipeline.drain(results);
        else
            pipeline.feed(bytes, results);
        for (LineResult& result : results) take(std::move(result));
        if (m_reportsDone) m_reportsDone();
    }
    report();  // the last cycle, cut short by the end
    if (m_reportsDone) m_reportsDone();
}
