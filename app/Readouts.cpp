// SPDX-License-Identifier: BSD-2-Clause
#include "app/Readouts.h"

#include <cmath>
#include <cstdio>
#include <utility>
#include <variant>

#include "app/CourseFormatter.h"
#include "app/GPSSettingsController.h"
#include "app/PositionFormatter.h"
#include "app/SpeedFormatter.h"
#include "app/SplashController.h"
#include "platform/Alert.h"
#include "instruments/CompassView.h"
#include "instruments/DataLampView.h"
#include "instruments/SatelliteStore.h"
#include "app/SystemQueries.h"
#include "platform/Application.h"
#include "platform/Services.h"
#include "platform/TextField.h"

namespace {

constexpr float kFeetPerMeter = 3.2808399200439453f;
constexpr float kMinimumCourseSpeedKnots = 0.5f;
constexpr std::uint32_t kKilometerUnits = 1;

double now()
{
    const platform::Clock* clock = platform::services().clock;
    return clock ? clock->now() : 0.0;
}

// Whole degrees for the compass, 0 to 359. A course of 360 or more, or below 0, wraps; one
// that is no finite number gives nothing.
std::optional<std::uint32_t> headingDegrees(float course)
{
    if (!std::isfinite(course)) return std::nullopt;
    const double whole = std::trunc(static_cast<double>(course));
    const double wrapped = std::fmod(std::fmod(whole, 360.0) + 360.0, 360.0);
    return static_cast<std::uint32_t>(wrapped);
}

// RMC and GLL send a status letter: A (or nothing, from older receivers) is a valid fix.
std::int32_t fixOfStatus(char status, char mode)
{
    if (mode == 'N') return 0;
    return status == 0 || status == 'A' ? 1 : 0;
}

template <typename... F>
struct Overloaded : F... {
    using F::operator()...;
};
template <typename... F>
Overloaded(F...) -> Overloaded<F...>;

}  // namespace

Readouts::Readouts()
{
    m_latitudePositionFormatter = std::make_unique<PositionFormatter>(0, 1);
    m_latitudePositionFormatter->setAlign(true);
    m_longitudePositionFormatter = std::make_unique<PositionFormatter>(1, 1);
    m_longitudePositionFormatter->setAlign(true);
    m_cogFormatter = std::make_unique<CourseFormatter>();
    m_sogFormatter = std::make_unique<SpeedFormatter>();
}

Readouts::~Readouts()
{
    // The fields outlive us; they must not keep pointing at our formatters.
    if (m_latitudeField) m_latitudeField->setFormatter(nullptr);
    if (m_longitudeField) m_longitudeField->setFormatter(nullptr);
    if (m_cogField) m_cogField->setFormatter(nullptr);
    if (m_sogField) m_sogField->setFormatter(nullptr);
}

void Readouts::start()
{
    if (m_latitudeField) m_latitudeField->setFormatter(m_latitudePositionFormatter.get());
    if (m_longitudeField) m_longitudeField->setFormatter(m_longitudePositionFormatter.get());
    if (m_cogField) m_cogField->setFormatter(m_cogFormatter.get());
    if (m_sogField) m_sogField->setFormatter(m_sogFormatter.get());
    clearFields();
    sizeFields();
    if (m_compassView) m_compassView->setRange(90);
    resetPositionDate();
}

// $GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W
//   UTC, status and mode (fix), position, speed (knots) and course (true).
// $GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,
//   UTC, position, fix quality (an empty one counts as a fix) and altitude (metres).
// $GPGLL,4916.45,N,12311.12,W,225444,A
//   position, UTC and status.
// $GNGNS,014035.00,4332.69262,S,17235.48549,E,RR,13,0.9,25.63,11.24,,
//   UTC, position, the mode characters (all N: no fix) and altitude (metres).
// $GPZDA,201530.00,04,07,2002,00,00
//   UTC.
// $GPVTG,054.7,T,034.4,M,005.5,N,010.2,K
//   course (true) and speed (knots).
// $HEHDT,274.07,T and $GPGSV: kept in the receiver state only (the compass card shows the
// course over ground; the sky plot gets the satellites when a cycle ends).
void Readouts::show(const SentenceRecord& record, const ReceiverState& state)
{
    std::visit(Overloaded{
                   [&](const RMC& rmc) {
                       setPosition(rmc.time, rmc.position, fixOfStatus(rmc.status, rmc.mode), std::nullopt);
                       // Those of a void fix are shown, greyed.
                       setCogSog(rmc.courseDegrees, rmc.speedKnots, rmc.validFix());
                       blankUnknownMotion(rmc.courseDegrees, rmc.speedKnots, state);
                   },
                   [&](const GGA& gga) {
                       setPosition(gga.time, gga.position, gga.fixQualityEmpty ? 1 : gga.fixQuality.value_or(0),
                                   gga.altitudeMeters);
                   },
                   [&](const GLL& gll) {
                       setPosition(gll.time, gll.position, fixOfStatus(gll.status, gll.mode), std::nullopt);
                   },
                   [&](const GNS& gns) { setPosition(gns.time, gns.position, gns.position ? 1 : 0, gns.altitudeMeters); },
                   [&](const ZDA& zda) {
                       if (zda.time) showTime(*zda.time);
                   },
                   [&](const VTG& vtg) {
                       setCogSog(vtg.courseDegrees, vtg.speedKnots);
                       blankUnknownMotion(vtg.courseDegrees, vtg.speedKnots, state);
                   },
                   [&](const GSA& gsa) { showGsa(gsa); },
                   [](const HDT&) {},
                   [](const GSV&) {},
               },
               record);
}

void Readouts::showState(const ReceiverState& state, ReceiverState::Changes changes)
{
    if (changes & (ReceiverState::kTime | ReceiverState::kPosition | ReceiverState::kFix | ReceiverState::kAltitude))
        setPosition(state.time(), state.position(), state.fixQuality().value_or(0), state.altitudeMeters());
    if (changes & (ReceiverState::kSpeed | ReceiverState::kCourse)) setCogSog(state.courseDegrees(), state.speedKnots());
}

void Readouts::showTime(const UtcTime& utc)
{
    if (!m_utcField) return;
    m_utcField->setStringValue(formatUtc(utc));
    m_freshness.refreshed(ReadoutFreshness::kTime, now());
}

// $GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1
// Uses mode (A automatic, M manual), fix type (1 none, 2 2D, 3 3D) and PDOP, HDOP, VDOP.
void Readouts::showGsa(const GSA& gsa)
{
    // A GSA cut off before its fix type says nothing of the fix.
    if (!gsa.stated) return;
    const std::string modeText = Alert::localizedStringWithKey(gsa.mode == 'A' ? "Automatic" : "Manual");
    std::string fixTypeText;
    if (!gsa.fixTypeEmpty) {
        switch (gsa.fixType.value_or(0)) {
        case 2: fixTypeText = Alert::localizedStringWithKey("2D"); break;
        case 3: fixTypeText = Alert::localizedStringWithKey("3D"); break;
        default:
            fixTypeText = Alert::localizedStringWithKey("NoFix");
            m_fix = 0;
            break;
        }
    }
    const char* sourceKey = m_fix == 1 ? "GPS" : m_fix == 2 ? "DGPS" : "Invalid";
    const std::string sourceText = Alert::localizedStringWithKey(sourceKey);

    if (const platform::Clock* clock = platform::services().clock) {
        m_freshness.refreshed(ReadoutFreshness::kFixTypeSentence, clock->now());
        if (m_fixField) m_freshness.refreshed(ReadoutFreshness::kFix, clock->now());
    }
    if (m_fixField)
        m_fixField->setStringValue(m_fix != 0 ? sourceText + "-" + modeText + "-" + fixTypeText
                                              : sourceText + "-" + fixTypeText);
    if (m_satelliteStore) {
        const bool kilometres = m_gpsSettingsController && m_gpsSettingsController->units() == kKilometerUnits;
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

void Readouts::setPosition(const std::optional<UtcTime>& utc, const std::optional<GeoPosition>& position,
                           std::int32_t fix, const std::optional<float>& altitudeMeters)
{
    m_fix = fix;
    const double at = now();
    if (utc) showTime(*utc);
    if (altitudeMeters && m_satelliteStore) m_satelliteStore->setAltitude(*altitudeMeters * kFeetPerMeter);
    // Without GSA (or once it stopped) the fix field says what the position sentences say,
    // rather than keep a "3D" nobody confirms any more.
    if (m_fixField && (!m_freshness.everRefreshed(ReadoutFreshness::kFixTypeSentence) ||
                       m_freshness.stale(ReadoutFreshness::kFixTypeSentence, at))) {
        m_fixField->setStringValue(m_fix > 0 ? Alert::localizedStringWithKey(m_fix == 2 ? "DGPS" : "GPS")
                                             : Alert::localizedStringWithKey("Invalid") + "-" +
                                                   Alert::localizedStringWithKey("NoFix"));
        m_freshness.refreshed(ReadoutFreshness::kFix, at);
    }
    if (!position || m_fix <= 0) return;
    const float latitudeDegrees = position->latitudeDegrees32;
    const float longitudeDegrees = position->longitudeDegrees32;
    // The poles and the date line themselves are not shown. Written so that NaN fails too.
    if (!(longitudeDegrees > -180.0f && longitudeDegrees < 180.0f)) return;
    if (!(latitudeDegrees > -90.0f && latitudeDegrees < 90.0f)) return;
    if (m_latitudeField) m_latitudeField->setObjectValue(latitudeDegrees);
    if (m_longitudeField) m_longitudeField->setObjectValue(longitudeDegrees);
    if (m_splashController) m_splashController->setPosition(latitudeDegrees, longitudeDegrees);
    m_freshness.refreshed(ReadoutFreshness::kPosition, at);
    resetPositionDate();
}

void Readouts::setCogSog(const std::optional<float>& cogDegrees, const std::optional<float>& sogKnots,
                         bool fromValidFix)
{
    if (sogKnots || cogDegrees) m_motionVoid = !fromValidFix;
    if (sogKnots) {
        // Units are read at every sentence so a change in the drawer shows at once.
        if (m_gpsSettingsController) m_sogFormatter->setUnits(m_gpsSettingsController->units());
        m_sog = *sogKnots;
        if (m_sogField) {
            m_sogField->setObjectValue(m_sog);
            m_sogField->setStale(m_motionVoid);
        }
        m_freshness.refreshed(ReadoutFreshness::kSpeed, now());
    }
    // Below half a knot the course a receiver reports is noise.
    if (cogDegrees && m_sog >= kMinimumCourseSpeedKnots) {
        m_cog = *cogDegrees;
        if (m_cogField) {
            m_cogField->setObjectValue(m_cog);
            m_cogField->setStale(m_motionVoid);
        }
        m_freshness.refreshed(ReadoutFreshness::kCourse, now());
        // The compass follows a valid fix only.
        const auto heading = headingDegrees(m_cog);
        if (heading && m_compassView && fromValidFix) m_compassView->setHeading(*heading);
    }
}

void Readouts::blankUnknownMotion(const std::optional<float>& cogDegrees, const std::optional<float>& sogKnots,
                                  const ReceiverState& state)
{
    if (!sogKnots && !state.speedKnots() && m_sogField) m_sogField->setObjectValue(std::nullopt);
    if (!cogDegrees && !state.courseDegrees() && m_cogField) m_cogField->setObjectValue(std::nullopt);
}

void Readouts::lamp(std::uint32_t state)
{
    if (m_dataReadyView) m_dataReadyView->drawDataReady(state);
}

void Readouts::sentenceArrived()
{
    m_lastSentenceTime = now();
    m_lampSilent = false;
}

void Readouts::freshnessTimer()
{
    const double at = now();
    const std::pair<ReadoutFreshness::Readout, platform::TextField*> readouts[] = {
        {ReadoutFreshness::kTime, m_utcField},           {ReadoutFreshness::kPosition, m_latitudeField},
        {ReadoutFreshness::kPosition, m_longitudeField}, {ReadoutFreshness::kFix, m_fixField},
        {ReadoutFreshness::kSpeed, m_sogField},          {ReadoutFreshness::kCourse, m_cogField}};
    for (const auto& [readout, field] : readouts) {
        const bool voidMotion =
            m_motionVoid && (readout == ReadoutFreshness::kSpeed || readout == ReadoutFreshness::kCourse);
        if (field) field->setStale(voidMotion || m_freshness.stale(readout, at));
    }
    // A silent line is told by the lamp within seconds, long before the 90-second sheet.
    if (m_lastSentenceTime >= 0.0 && at - m_lastSentenceTime > ReadoutFreshness::kMinimumStaleSeconds &&
        !m_lampSilent) {
        m_lampSilent = true;
        lamp(DataLampView::kNoData);
    }
}

void Readouts::connectionClosed()
{
    resetPositionDate();
    clearFields();
    lamp(DataLampView::kNoData);
    if (m_compassView) m_compassView->disable();
    m_sog = 0.0f;
    m_fix = 0;
}

void Readouts::clearFields()
{
    m_freshness.reset();
    m_motionVoid = false;
    m_lastSentenceTime = -1.0;
    for (platform::TextField* field : {m_utcField, m_latitudeField, m_longitudeField, m_sogField, m_cogField, m_fixField})
        if (field) field->setStale(false);
    if (m_utcField) m_utcField->setStringValue("");
    for (platform::TextField* field : {m_latitudeField, m_longitudeField, m_sogField, m_cogField, m_fixField})
        if (field) field->setObjectValue(std::nullopt);
}

double Readouts::positionAge() const
{
    return now() - m_positionDate;
}

void Readouts::resetPositionDate()
{
    m_positionDate = now();
}

void Readouts::sizeFields()
{
    for (platform::TextField* field :
         {m_utcField, m_utcLabelField, m_latitudeField, m_latitudeLabelField, m_longitudeField, m_longitudeLabelField,
          m_cogField, m_cogLabelField, m_sogField, m_sogLabelField, m_fixField, m_fixLabelField}) {
        if (field) SystemQueries::sizeTextforControl(field);
    }
}

std::string Readouts::formatUtc(const UtcTime& utc)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u", unsigned{utc.hours}, unsigned{utc.minutes},
                  static_cast<unsigned>(utc.seconds));
    return text;
}
