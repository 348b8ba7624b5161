// The six sentence handlers of the window controller, and the locale-free number readings
// they use. Each runs on the main thread while the reader thread waits for it.

#include <cstdlib>
#include <limits>

#include "app/FormatText.h"
#include "app/GPSController.h"
#include "core/SatelliteStore.h"
#include "app/GPSSettingsController.h"
#include "core/Satellite.h"
#include "platform/TextField.h"
#include "core/Alert.h"
#include "core/NMEA.h"
#include "core/DataLampView.h"

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

// $GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W
// Fields: 1 UTC, 2 status, 3-4 latitude, 5-6 longitude, 7 speed (knots), 8 course (true).
void GPSController::updatePositionRMC(ByteBuffer& sentence)
{
    if (m_dataReadyView) m_dataReadyView->drawDataReady(kDataReadyHandled);
    updateMonitor(sentence, true);
    setPosition(NMEA::parse(sentence, 1), NMEA::parse(sentence, 3), NMEA::parse(sentence, 4),
                NMEA::parse(sentence, 5), NMEA::parse(sentence, 6), NMEA::parse(sentence, 2),
                std::nullopt);
    setCogSog(NMEA::parse(sentence, 8), NMEA::parse(sentence, 7));
}

// $GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,
// Fields: 1 UTC, 2-3 latitude, 4-5 longitude, 6 fix quality, 9 altitude (metres).
void GPSController::updatePositionGGA(ByteBuffer& sentence)
{
    if (m_dataReadyView) m_dataReadyView->drawDataReady(kDataReadyHandled);
    updateMonitor(sentence, true);
    setPosition(NMEA::parse(sentence, 1), NMEA::parse(sentence, 2), NMEA::parse(sentence, 3),
                NMEA::parse(sentence, 4), NMEA::parse(sentence, 5), NMEA::parse(sentence, 6),
                NMEA::parse(sentence, 9));
}

// $GPGLL,4916.45,N,12311.12,W,225444,A
// Fields: 1-2 latitude, 3-4 longitude, 5 UTC, 6 status.
void GPSController::updatePositionGLL(ByteBuffer& sentence)
{
    if (m_dataReadyView) m_dataReadyView->drawDataReady(kDataReadyHandled);
    updateMonitor(sentence, true);
    setPosition(NMEA::parse(sentence, 5), NMEA::parse(sentence, 1), NMEA::parse(sentence, 2),
                NMEA::parse(sentence, 3), NMEA::parse(sentence, 4), NMEA::parse(sentence, 6),
                std::nullopt);
}

// $GPVTG,054.7,T,034.4,M,005.5,N,010.2,K
// Fields: 1 course (true), 5 speed (knots).
void GPSController::updateCourseVTG(ByteBuffer& sentence)
{
    if (m_dataReadyView) m_dataReadyView->drawDataReady(kDataReadyHandled);
    updateMonitor(sentence, true);
    setCogSog(NMEA::parse(sentence, 1), NMEA::parse(sentence, 5));
}

// $GPGSV,2,1,08,01,40,083,46,02,17,308,41,12,07,344,39,14,22,228,45
// Fields: 1 sentences in the cycle, 2 this sentence's number (from 1), then four blocks of
// satellite number, elevation, azimuth and signal-to-noise ratio at 4+4k .. 7+4k.
void GPSController::updateSatelliteGSV(ByteBuffer& sentence)
{
    if (m_dataReadyView) m_dataReadyView->drawDataReady(kDataReadyHandled);
    updateMonitor(sentence, true);

    const std::optional<std::string> totalText = NMEA::parse(sentence, 1);
    const std::optional<std::string> numberText = NMEA::parse(sentence, 2);
    if (!totalText || !numberText) return;
    const std::int32_t number = intValue(*numberText);
    const std::int32_t total = intValue(*totalText);
    if (!m_satelliteStore) return;

    if (number == 1) m_satelliteStore->clear();
    for (std::uint32_t block = 0; block < 4; ++block) {
        const std::uint32_t first = 4 + 4 * block;
        const auto satellite = NMEA::parse(sentence, first);
        const auto elevation = NMEA::parse(sentence, first + 1);
        const auto azimuth = NMEA::parse(sentence, first + 2);
        const auto snr = NMEA::parse(sentence, first + 3);
        if (!satellite || !elevation || !azimuth || !snr) continue;
        // Widened: the sentence number is whatever the line carried.
        const std::int64_t index = 4 * (std::int64_t{number} - 1) + block;
        if (index < 0 || index > std::numeric_limits<std::uint32_t>::max()) continue;
        Satellite* record = m_satelliteStore->satellite(static_cast<std::uint32_t>(index));
        if (!record) continue;
        record->set(intValue(*satellite), intValue(*elevation), intValue(*azimuth),
                    intValue(*snr));
    }
    if (number == total) m_satelliteStore->update();
}

// $GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1
// Fields: 1 mode (A automatic, M manual), 2 fix type (1 none, 2 2D, 3 3D), 15-17 PDOP,
// HDOP, VDOP.
void GPSController::updateSatelliteGSA(ByteBuffer& sentence)
{
    if (m_dataReadyView) m_dataReadyView->drawDataReady(kDataReadyHandled);
    updateMonitor(sentence, true);

    const std::optional<std::string> mode = NMEA::parse(sentence, 1);
    const std::optional<std::string> fixType = NMEA::parse(sentence, 2);
    if (!mode || !fixType) return;

    const std::string modeText = Alert::localizedStringWithKey(
        !mode->empty() && (*mode)[0] == 'A' ? "NSAutomatic" : "NSManual");
    std::string fixTypeText;
    if (!fixType->empty()) {
        switch (intValue(*fixType)) {
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

    auto dop = [&](std::uint32_t field) {
        const auto text = NMEA::parse(sentence, field);
        return text && !text->empty() ? floatValue(*text) : 0.0f;
    };
    const float pdop = dop(15);
    const float hdop = dop(16);
    const float vdop = dop(17);

    if (m_fixField) {
        m_fixField->setStringValue(m_fix != 0
                                       ? sourceText + "-" + modeText + "-" + fixTypeText
                                       : sourceText + "-" + fixTypeText);
    }
    if (m_satelliteStore) {
        const bool kilometres =
            m_gpsSettingsController && m_gpsSettingsController->units() == kKilometerUnits;
        m_satelliteStore->setMeters(kilometres);
        m_satelliteStore->setDop(pdop, hdop, vdop);
    }
}
