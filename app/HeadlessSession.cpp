#include "app/HeadlessSession.h"

#include <algorithm>
#include <chrono>
#include <memory>

#include "app/GPSSettingsController.h"
#include "app/RateHunt.h"
#include "app/ReceiverCommands.h"
#include "core/Alert.h"
#include "core/ChecksumHabit.h"
#include "core/ConnectionDoctor.h"
#include "core/GpsdReport.h"
#include "core/NMEA.h"
#include "core/ReceiverState.h"
#include "core/ReceiverTest.h"
#include "core/ReceiverTestFeed.h"
#include "core/SentenceFields.h"
#include "core/SentenceTable.h"
#include "core/Serial.h"
#include "platform/Application.h"
#include "platform/Services.h"

namespace {

constexpr std::uint32_t kLineLimit = 1024;

double nowSeconds()
{
    if (const platform::Clock* clock = platform::services().clock) return clock->now();
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

HeadlessSession::HeadlessSession(Sink reports, Sink messages)
    : m_reports(std::move(reports)), m_messages(std::move(messages))
{
}

HeadlessSession::~HeadlessSession() = default;

void HeadlessSession::stop()
{
    m_stopping.store(true);
    if (Serial* serial = m_serial.load()) serial->cancel();
}

bool HeadlessSession::run(const std::string& port, const std::string& rate)
{
    std::string usedRate = rate;
    std::unique_ptr<Serial> serial = open(port, usedRate);
    if (!serial) return false;
    m_messages("#### Open " + port + " at " + usedRate);
    if (const auto warning = ConnectionDoctor().sharedUseWarning(port)) m_messages(*warning);
    ReceiverCommands commands;
    commands.setPort(serial.get(), port, usedRate);
    commands.waitForInitialize();
    commands.setNMEA();
    readUntilStopped(*serial, port);
    m_serial.store(nullptr);
    serial->closePort();
    return true;
}

std::unique_ptr<Serial> HeadlessSession::open(const std::string& port, std::string& rate)
{
    std::unique_ptr<Serial> serial;
    int error = 0;
    if (rate == GPSSettingsController::kAutomaticRate) {
        RateHunt hunt([this] { return m_stopping.load(); },
                      [this](const std::string& trying) {
                          m_messages(Alert::localizedStringWithKey("NSDoctorRateTrying", {trying}));
                      });
        RateHunt::Result found = hunt.run(port, RateHunt::candidates(std::nullopt));
        if (!found.port && found.error == 0) {
            m_messages(Alert::localizedStringWithKey("NSDoctorRateNotFound"));
            return nullptr;
        }
        serial = std::move(found.port);
        error = found.error;
        rate = found.rate;
        if (serial) m_messages(Alert::localizedStringWithKey("NSDoctorRateFound", {rate}));
    } else {
        serial = std::make_unique<Serial>();
        if (!serial->openPort(port, rate, false)) {
            error = serial->lastError();
            serial.reset();
        }
    }
    if (!serial) {
        m_messages(Alert::localizedStringWithKey("NSUnableToOpenPort") + " " + port + "\n"
                   + ConnectionDoctor().explainOpenFailure(error, port));
        return nullptr;
    }
    m_serial.store(serial.get());
    // stop() may have come before the port existed.
    if (m_stopping.load()) serial->cancel();
    return serial;
}

void HeadlessSession::readUntilStopped(Serial& serial, const std::string& port)
{
    ReceiverState state;
    ChecksumHabit habit;
    std::string lastTpv;
    // The receiver test's figures, as a TEST line whenever they change; its clock starts
    // with the connection.
    const auto test = std::make_unique<ReceiverTest>();
    ReceiverTestFeed feed(*test);
    feed.connected(nowSeconds());
    std::string lastTest;
    while (!m_stopping.load()) {
        std::optional<ByteBuffer> line = serial.readPortLine(kLineLimit);
        if (!line) {
            if (serial.hungUp()) {
                m_messages(Alert::localizedStringWithKey("NSConnectionLost") + " " + port);
                return;
            }
            continue;
        }
        if (line->empty()) return;  // closed or cancelled
        const bool checksummed =
            std::find(line->begin(), line->end(), std::uint8_t{'*'}) != line->end();
        if (checksummed) habit.checksummed();
        if (!checksummed && !habit.acceptsPlainLine()) {
            ++m_rejected;  // cut short on the way
            continue;
        }
        line->push_back(0);
        if (!NMEA::checkSumValid(*line)) {
            ++m_rejected;
            continue;
        }
        const std::optional<SentenceFields> fields = SentenceFields::split(*line);
        if (!fields || fields->proprietary()) continue;
        const SentenceKind* kind = sentenceKind(fields->type());
        if (!kind) continue;
        if (!checksummed && plainLineCutShort(*fields)) {
            ++m_rejected;  // short, and no checksum to vouch for it
            continue;
        }
        const Decoded decoded = kind->decode(*fields);
        if (!decoded.record) {
            ++m_rejected;
            continue;
        }
        ++m_handled;
        const double now = nowSeconds();
        const ReceiverState::Changes changes =
            kind->fold(state, *decoded.record, now) | state.expire(now);
        if (changes & (ReceiverState::kSatellites | ReceiverState::kUsed))
            m_reports(gpsdreport::sky(state));
        std::string tpv = gpsdreport::tpv(state);
        if (tpv != lastTpv) {
            m_reports(tpv);
            lastTpv = std::move(tpv);
        }
        feed.apply(state, *decoded.record, changes, now);
        std::string testLine = test->jsonLine();
        if (testLine != lastTest) {
            m_reports(testLine);
            lastTest = std::move(testLine);
        }
    }
}
