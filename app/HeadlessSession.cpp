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

// The window's line limit: NMEA allows 82 characters; 255 leaves room for long proprietary
// sentences and cuts runaway lines the same way on both faces.
constexpr std::uint32_t kLineLimit = 256;

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
    const auto take = [&](ByteBuffer line) {
        const LineResult result = pipeline.take(std::move(line));
        if (result.kind == LineResult::Kind::Broken || result.kind == LineResult::Kind::Refused) {
            ++m_rejected;
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
    for (ByteBuffer& line : firstLines) take(std::move(line));
    m_bytesRead.store(serial.bytesReceived());
    while (!m_stopping.load()) {
        std::optional<ByteBuffer> line = serial.readPortLine(kLineLimit);
        m_bytesRead.store(serial.bytesReceived());
        if (!line) {
            if (serial.hungUp()) {
                report();
                m_messages(Alert::localizedStringWithKey("NSConnectionLost") + " " + port);
                return;
            }
            continue;
        }
        if (line->empty()) break;  // closed or cancelled
        take(std::move(*line));
    }
    report();  // the last cycle, cut short by the end
}
