// SPDX-License-Identifier: BSD-2-Clause
// The sentence handlers of the window controller, and the locale-free number readings of the
// text entry points. Main thread.

#include <algorithm>
#include <cstdlib>
#include <variant>
#include <limits>

#include "app/FormatText.h"
#include "app/GPSController.h"
#include "app/MonitorController.h"
#include "app/ReceiverTestController.h"
#include "core/SatelliteStore.h"
#include "app/GPSSettingsController.h"
#include "core/Satellite.h"
#include "platform/TextField.h"
#include "core/Alert.h"
#include "core/NMEA.h"
#include "core/DataLampView.h"
#include "core/SentenceTable.h"
#include "platform/Services.h"
#include "platform/Application.h"

namespace {

constexpr std::uint32_t kDataReadyHandled = 2;
constexpr std::uint32_t kKilometerUnits = 1;

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

}  // namespace

std::int32_t GPSController::intValue(const std::string& text)
{
    std::size_t at = 0;
    while (at < text.size() && isBlank(text[at])) ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) {
        negative = text[at] == '-';
        ++at;
    }
    // Accumulated wide and clamped, so any digit string a sentence carries stays defined.
    std::int64_t value = 0;
    constexpr std::int64_t limit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    for (; at < text.size() && isDigit(text[at]); ++at) {
        value = value * 10 + (text[at] - '0');
        if (value > limit) value = limit;
    }
    if (negative) value = -value;
    if (value > std::numeric_limits<std::int32_t>::max())
        value = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(value);
}

float GPSController::floatValue(const std::string& text)
{
    std::size_t at = 0;
    while (at < text.size() && isBlank(text[at])) ++at;
    std::size_t digits = at;
    if (digits < text.size() && (text[digits] == '-' || text[digits] == '+')) ++digits;
    // Only a decimal number counts: "inf", "nan" and hexadecimal forms read as their leading
    // number (0 or nothing).
    const bool number = digits < text.size() &&
                        (isDigit(text[digits]) ||
                         (text[digits] == '.' && digits + 1 < text.size() &&
                          isDigit(text[digits + 1])));
    if (!number) return 0.0f;
    std::size_t end = digits;
    while (end < text.size() && isDigit(text[end])) ++end;
    if (end < text.size() && text[end] == '.') {
        ++end;
        while (end < text.size() && isDigit(text[end])) ++end;
    }
    if (end < text.size() && (text[end] == 'e' || text[end] == 'E')) {
        std::size_t exponent = end + 1;
        if (exponent < text.size() && (text[exponent] == '-' || text[exponent] == '+'))
            ++exponent;
        if (exponent < text.size() && isDigit(text[exponent])) {
            end = exponent;
            while (end < text.size() && isDigit(text[end])) ++end;
        }
    }
    const std::string candidate = text.substr(at, end - at);
    // Under the C locale "4807.038" reads the same whatever locale the desktop set.
    return strtof_l(candidate.c_str(), nullptr, cLocale());
}

namespace {

template <typename... F>
struct Overloaded : F... {
    using F::operator()...;
};
template <typename... F>
Overloaded(F...) -> Overloaded<F...>;

// RMC and GLL send a status letter: A (or nothing, from older receivers) is a valid fix.
std::int32_t fixOfStatus(char status, char mode)
{
    if (mode == 'N') return 0;
    return status == 0 || status == 'A' ? 1 : 0;
}

}  // namespace

void GPSController::handleVerifiedSentence(const ByteBuffer& sentence)
{
    if (sentence.empty() || (sentence[0] != '$' && sentence[0] != '!')) return;
    if (sentence.size() > 1 && sentence[1] == 'P') return;
    Update update;
    update.result = SentencePipeline::decodeVerified(sentence);
    present(update);
}

void GPSController::present(const Update& update)
{
    if (update.call) {
        update.call();
        return;
    }
    ++m_linesPresented;
    const LineResult& result = update.result;
    switch (result.kind) {
    case LineResult::Kind::Dropped:
    case LineResult::Kind::Proprietary:
        return;
    case LineResult::Kind::Unknown:
    case LineResult::Kind::Ignored:
        sentenceArrived();
        updateUnknown(result.line);
        return;
    case LineResult::Kind::Broken:
        m_brokenLines.fetch_add(1);
        monitorRejected(result.line, DecodeNote{});
        return;
    case LineResult::Kind::Refused:
        sentenceArrived();
        if (m_dataReadyView) m_dataReadyView->drawDataReady(1);
        monitorRejected(result.line, result.note);
        return;
    case LineResult::Kind::Ubx:
    case LineResult::Kind::Rtcm3:
        presentFrame(result);
        return;
    case LineResult::Kind::Decoded:
        break;
    }
    sentenceArrived();
    if (m_dataReadyView) m_dataReadyView->drawDataReady(kDataReadyHandled);
    updateMonitor(result.line, true);
    // The sentence counts; what was left out of it, and why, is said under it.
    if (result.note) monitorNote("NSFieldIgnored", result.note);
    const platform::Clock* clock = platform::services().clock;
    const double now = clock ? clock->now() : 0.0;
    // Satellites no longer reported age out as each sentence is folded, as in headless; the
    // position timer still ages them on a line that went quiet.
    const bool taken = m_state.takesFromNmea(*result.record);
    const ReceiverState::Changes changes = m_state.apply(*result.record, now) | m_state.expire(now);
    if (m_receiverTestController && result.line.size() >= 3) {
        const std::string_view talker(reinterpret_cast<const char*>(result.line.data()) + 1, 2);
        m_receiverTestController->apply(talker, m_state, *result.record, changes, now);
    }
    // A receiver that also speaks UBX has its read-outs from the binary messages.
    if (taken)
        std::visit(Overloaded{
                   [this](const GGA& r) { updatePositionGGA(r); },
                   [this](const RMC& r) { updatePositionRMC(r); },
                   [this](const GLL& r) { updatePositionGLL(r); },
                   [this](const GNS& r) { updatePositionGNS(r); },
                   [this](const ZDA& r) { updateTimeZDA(r); },
                   [this](const HDT& r) { updateHeadingHDT(r); },
                   [this](const VTG& r) { updateCourseVTG(r); },
                   [this](const GSV& r) { updateSatelliteGSV(r); },
                   [this](const GSA& r) { updateSatelliteGSA(r); },
               },
               *result.record);
    // The sky plot is redrawn when a satellite cycle ends or the used set moves, not for
    // every GSV sentence.
    if (m_satelliteStore && (changes & (ReceiverState::kSatellites | ReceiverState::kUsed)))
        m_satelliteStore->setSatellitesInView(m_state.satellites());
}

// A UBX or RTCM 3 frame: one line in the monitor; a decoded UBX message folded into the
// receiver state, whose read-outs then follow the state.
void GPSController::presentFrame(const LineResult& result)
{
    sentenceArrived();
    if (m_dataReadyView) m_dataReadyView->drawDataReady(kDataReadyHandled);
    if (m_monitorController) m_monitorController->appendFrame(result.description);
    if (!result.ubx) return;
    const platform::Clock* clock = platform::services().clock;
    const double now = clock ? clock->now() : 0.0;
    const ReceiverState::Changes changes = m_state.apply(*result.ubx, now) | m_state.expire(now);
    if (changes & (ReceiverState::kTime | ReceiverState::kPosition | ReceiverState::kFix | ReceiverState::kAltitude))
        setPosition(m_state.time(), m_state.position(), m_state.fixQuality().value_or(0),
                    m_state.altitudeMeters());
    if (changes & (ReceiverState::kSpeed | ReceiverState::kCourse))
        setCogSog(m_state.courseDegrees(), m_state.speedKnots());
    if (m_satelliteStore && (changes & (ReceiverState::kSatellites | ReceiverState::kUsed)))
        m_satelliteStore->setSatellitesInView(m_state.satellites());
}

void GPSController::monitorRejected(const ByteBuffer& line, const DecodeNote& note)
{
    if (!m_monitorController) return;
    const auto nul = std::find(line.begin(), line.end(), std::uint8_t{0});
    const std::optional<std::string> text =
        NMEA::address(line, 0, static_cast<std::uint32_t>(nul - line.begin()));
    m_monitorController->append(text.value_or(""), false);
    if (note) {
        monitorNote("NSSentenceRejected", note);
        return;
    }
    m_monitorController->append("  <- " + Alert::localizedStringWithKey("NSBrokenLine"), false);
    m_monitorController->append("\n", false);
}

void GPSController::monitorNote(const std::string& verdictKey, const DecodeNote& note)
{
    if (!m_monitorController) return;
    std::string why = Alert::localizedStringWithKey(verdictKey) + ": " +
                      Alert::localizedStringWithKey(std::string(decodeProblemKey(note.problem)));
    if (note.field != 0) why += " (" + std::to_string(note.field) + ")";
    m_monitorController->append("  <- " + why, false);
    m_monitorController->append("\n", false);
}

// $GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W
// Uses UTC, status and mode (fix), position, speed (knots) and course (true).
void GPSController::updatePositionRMC(const RMC& rmc)
{
    setPosition(rmc.time, rmc.position, fixOfStatus(rmc.status, rmc.mode), std::nullopt);
    // Those of a void fix are shown, greyed.
    setCogSog(rmc.courseDegrees, rmc.speedKnots, rmc.validFix());
    blankUnknownMotion(rmc.courseDegrees, rmc.speedKnots);
}

// $GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,
// Uses UTC, position, fix quality (an empty one counts as a fix) and altitude (metres).
void GPSController::updatePositionGGA(const GGA& gga)
{
    setPosition(gga.time, gga.position, gga.fixQualityEmpty ? 1 : gga.fixQuality.value_or(0),
                gga.altitudeMeters);
}

// $GPGLL,4916.45,N,12311.12,W,225444,A
// Uses position, UTC and status.
void GPSController::updatePositionGLL(const GLL& gll)
{
    setPosition(gll.time, gll.position, fixOfStatus(gll.status, gll.mode), std::nullopt);
}

// $GNGNS,014035.00,4332.69262,S,17235.48549,E,RR,13,0.9,25.63,11.24,,
// Uses UTC, position, the mode characters (all N: no fix) and altitude (metres).
void GPSController::updatePositionGNS(const GNS& gns)
{
    setPosition(gns.time, gns.position, gns.position ? 1 : 0, gns.altitudeMeters);
}

// $GPZDA,201530.00,04,07,2002,00,00
// Uses UTC.
void GPSController::updateTimeZDA(const ZDA& zda)
{
    if (!zda.time || !m_utcField) return;
    m_utcField->setStringValue(formatUtc(*zda.time));
    if (const platform::Clock* clock = platform::services().clock)
        m_freshness.refreshed(ReadoutFreshness::kTime, clock->now());
}

// $HEHDT,274.07,T
// The heading of a compass-equipped receiver is kept in the receiver state only: the
// compass card shows the course over ground.
void GPSController::updateHeadingHDT(const HDT&) {}

// $GPVTG,054.7,T,034.4,M,005.5,N,010.2,K
// Uses course (true) and speed (knots).
void GPSController::updateCourseVTG(const VTG& vtg)
{
    setCogSog(vtg.courseDegrees, vtg.speedKnots);
    blankUnknownMotion(vtg.courseDegrees, vtg.speedKnots);
}

// $GPGSV,2,1,08,01,40,083,46,02,17,308,41,12,07,344,39,14,22,228,45
// The receiver state keeps the satellites of every constellation, each GSV stream replacing
// only its own; the sky plot gets them all when a cycle ends (see present()).
void GPSController::updateSatelliteGSV(const GSV&) {}

// $GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1
// Uses mode (A automatic, M manual), fix type (1 none, 2 2D, 3 3D) and PDOP, HDOP, VDOP.
void GPSController::updateSatelliteGSA(const GSA& gsa)
{
    // A GSA cut off before its fix type says nothing of the fix.
    if (!gsa.stated) return;
    const std::string modeText = Alert::localizedStringWithKey(gsa.mode == 'A' ? "NSAutomatic" : "NSManual");
    std::string fixTypeText;
    if (!gsa.fixTypeEmpty) {
        switch (gsa.fixType.value_or(0)) {
        case 2: fixTypeText = Alert::localizedStringWithKey("NS2D"); break;
        case 3: fixTypeText = Alert::localizedStringWithKey("NS3D"); break;
        default:
            fixTypeText = Alert::localizedStringWithKey("NSNoFix");
            m_fix = 0;
            break;
        }
    }
    const char* sourceKey = m_fix == 1 ? "NSGPS" : m_fix == 2 ? "NSDGPS" : "NSInvalid";
    const std::string sourceText = Alert::localizedStringWithKey(sourceKey);

    if (const platform::Clock* clock = platform::services().clock) {
        m_freshness.refreshed(ReadoutFreshness::kFixTypeSentence, clock->now());
        if (m_fixField) m_freshness.refreshed(ReadoutFreshness::kFix, clock->now());
    }
    if (m_fixField) {
        m_fixField->setStringValue(m_fix != 0
                                       ? sourceText + "-" + modeText + "-" + fixTypeText
                                       : sourceText + "-" + fixTypeText);
    }
    if (m_satelliteStore) {
        const bool kilometres =
            m_gpsSettingsController && m_gpsSettingsController->units() == kKilometerUnits;
        m_satelliteStore->setMeters(kilometres);
        // An empty DOP reads 0 (none now); a refused one leaves the shown value.
        const auto dop = [&](const std::optional<float>& value, std::uint32_t field, float shown) {
            return gsa.dropped.has(field) ? shown : value.value_or(0.0f);
        };
        m_satelliteStore->setDop(dop(gsa.pdop, 15, m_satelliteStore->pDop()),
                                 dop(gsa.hdop, 16, m_satelliteStore->hDop()),
                                 dop(gsa.vdop, 17, m_satelliteStore->vDop()));
    }
}
