#include "app/HeadlessSession.h"

#include <algorithm>
#include <chrono>
#include <memory>

#include "app/Connection.h"
#include "core/Alert.h"
#include "core/ConnectionDoctor.h"
#include "core/CycleWatch.h"
#include "core/GpsdReport.h"
#include "core/ReceiverState.h"
#include "core/ReceiverTest.h"
#include "core/ReceiverTestFeed.h"
#include "core/SentencePipeline.h"
#include "core/SentenceTable.h"
#include "core/Serial.h"
#include "platform/Application.h"
#include "platform/Services.h"

namespace {


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
    if (Serial* serial = m_serial.load()) serial->cancel();
}

bool HeadlessSession::run(const std::string& port, const std::string& rate,
                          const std::optional<std::string>& storedRate)
{
    Connection connection({.message = m_messages, .rateFound = {}}, [this] { return m_stopping.load(); });
    Connection::Opened opened = connection.open(port, rate, storedRate);
    if (!opened.port) {
        if (m_stopping.load() && opened.error == 0) {
            m_messages(Alert::localizedStringWithKey("NSDoctorRateCutShort"));
            return false;
        }
        m_messages(Alert::localizedStringWithKey("NSUnableToOpenPort") + " " + port + "\n"
                   + ConnectionDoctor().explainOpenFailure(opened.error, port));
        return false;
    }
    std::unique_ptr<Serial> serial = std::move(opened.port);
    m_serial.store(serial.get());
    // stop() may have come before the port existed.
    if (m_stopping.load()) serial->cancel();
    m_messages("#### Open " + port + " at " + opened.rate);
    if (const auto warning = ConnectionDoctor().sharedUseWarning(port)) m_messages(*warning);
    std::vector<ByteBuffer> firstLines = Connection::initialise(*serial, port, opened.rate);
    readUntilStopped(*serial, port, std::move(firstLines));
    m_serial.store(nullptr);
    serial->closePort();
    return true;
}

void HeadlessSession::readUntilStopped(Serial& serial, const std::string& port,
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
            std::string testLine = test->jsonLine();
            if (testLine != lastTest) {
                m_reports(testLine);
                lastTest = std::move(testLine);
                lastTestTime = now;
            }
        }
        pending = 0;
    };
    std::optional<std::uint32_t> ubxEpoch;  // time of week of the UBX epoch being gathered
    std::uint16_t lastRtcm = 0;
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
        const double now = nowSeconds();
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
        const double now = nowSeconds();
        const ReceiverState::Changes changes = state.apply(*result.record, now) | state.expire(now);
        // Every decoded sentence counts as news: even one that changes nothing ends a cycle.
        pending |= changes | ReceiverState::Changes{1u << 31};
        feed.apply(state, *result.record, changes, now);
        if (cycle.endsCycle(result.sentenceKind->type)) report();
    };
    for (ByteBuffer& line : firstLines) take(pipeline.take(std::move(line)));
    m_bytesRead.store(serial.bytesReceived());
    std::vector<LineResult> results;
    while (!m_stopping.load()) {
        // Whatever the line brings within half a second, cut into NMEA lines and UBX and
        // RTCM 3 frames.
        const ByteBuffer bytes = serial.readPortWithin(0.5);
        m_bytesRead.store(serial.bytesReceived());
        results.clear();
        if (bytes.empty()) {
            if (serial.hungUp()) {
                pipeline.drain(results);
                for (LineResult& result : results) take(std::move(result));
                report();
                m_messages(Alert::localizedStringWithKey("NSConnectionLost") + " " + port);
                return;
            }
            if (!serial.isOpen() || serial.cancelled()) break;  // closed or cancelled
            pipeline.drain(results);
        } else {
            pipeline.feed(bytes, results);
        }
        for (LineResult& result : results) take(std::move(result));
    }
    report();  // the last cycle, cut short by the end
}
