#include "app/HeadlessSession.h"

#include <chrono>

#include "app/ReceiverCommands.h"
#include "core/Alert.h"
#include "core/GpsdReport.h"
#include "core/NMEA.h"
#include "core/ReceiverState.h"
#include "core/SentenceFields.h"
#include "core/SentenceTable.h"
#include "core/Serial.h"
#include "platform/Application.h"
#include "platform/Services.h"

namespace {

constexpr std::uint8_t kLineFeed = '\n';
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
    Serial serial;
    m_serial.store(&serial);
    // stop() may have come before the port existed.
    if (m_stopping.load()) serial.cancel();
    if (!serial.openPort(port, rate, false)) {
        m_messages(Alert::localizedStringWithKey("NSUnableToOpenPort") + " " + port);
        m_serial.store(nullptr);
        return false;
    }
    m_messages("#### Open " + port + " at " + rate);
    ReceiverCommands commands;
    commands.setPort(&serial, port, rate);
    commands.waitForInitialize();
    commands.setNMEA();
    readUntilStopped(serial, port);
    m_serial.store(nullptr);
    serial.closePort();
    return true;
}

void HeadlessSession::readUntilStopped(Serial& serial, const std::string& port)
{
    ReceiverState state;
    std::string lastTpv;
    while (!m_stopping.load()) {
        std::optional<ByteBuffer> line = serial.readPortUntilChar(kLineFeed, kLineLimit);
        if (!line) {
            if (serial.hungUp()) {
                m_messages(Alert::localizedStringWithKey("NSConnectionLost") + " " + port);
                return;
            }
            continue;
        }
        if (line->empty()) return;  // closed or cancelled
        line->push_back(0);
        if (!NMEA::checkSumValid(*line)) {
            ++m_rejected;
            continue;
        }
        const std::optional<SentenceFields> fields = SentenceFields::split(*line);
        if (!fields || fields->proprietary()) continue;
        const SentenceKind* kind = sentenceKind(fields->type());
        if (!kind) continue;
        const Decoded decoded = kind->decode(*fields);
        if (!decoded.record) {
            ++m_rejected;
            continue;
        }
        ++m_handled;
        const double now = nowSeconds();
        const ReceiverState::Changes changes =
            kind->fold(state, *decoded.record, now) | state.expire(now);
        if (changes & ReceiverState::kSatellites) m_reports(gpsdreport::sky(state));
        std::string tpv = gpsdreport::tpv(state);
        if (tpv != lastTpv) {
            m_reports(tpv);
            lastTpv = std::move(tpv);
        }
    }
}
