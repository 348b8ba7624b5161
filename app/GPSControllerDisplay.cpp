// SPDX-License-Identifier: BSD-2-Clause
// Position, time and course read-outs, the staleness watch and the window's proportions.
// Main thread.

#include <cmath>
#include <utility>
#include <cstdio>

#include "app/GPSController.h"
#include "core/SatelliteStore.h"
#include "app/GPSSettingsController.h"
#include "app/SpeedFormatter.h"
#include "app/SplashController.h"
#include "platform/Application.h"
#include "platform/Services.h"
#include "platform/TextField.h"
#include "core/Alert.h"
#include "core/NMEA.h"
#include "core/CompassView.h"
#include "core/DataLampView.h"
#include "core/SystemQueries.h"

namespace {

constexpr float kFeetPerMeter = 3.2808399200439453f;
constexpr float kMinimumCourseSpeedKnots = 0.5f;
constexpr double kStalePositionSeconds = 90.0;
constexpr std::uint32_t kDataReadyNone = 0;

bool isEmpty(const std::optional<std::string>& text)
{
    return !text || text->empty();
}

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

}  // namespace

void GPSController::setPosition(const std::optional<std::string>& utc,
                                const std::optional<std::string>& latitude,
                                const std::optional<std::string>& latitudeHemisphere,
                                const std::optional<std::string>& longitude,
                                const std::optional<std::string>& longitudeHemisphere,
                                const std::optional<std::string>& status,
                                const std::optional<std::string>& altitudeMeters)
{
    // A GGA fix quality is a number; RMC and GLL send a letter.
    if (isEmpty(status) || (*status)[0] == 'A')
        m_fix = 1;
    else if ((*status)[0] == 'V')
        m_fix = 0;
    else
        m_fix = intValue(*status);

    if (utc && utc->size() > 5) {
        const std::string time = formatUtcToLocal(utc);
        if (!time.empty() && m_utcField) m_utcField->setStringValue(time);
    }
    if (!isEmpty(altitudeMeters) && m_satelliteStore)
        m_satelliteStore->setAltitude(floatValue(*altitudeMeters) * kFeetPerMeter);

    if (isEmpty(latitude) || isEmpty(longitude) || m_fix <= 0) return;
    const float longitudeDegrees = NMEA::position(longitude, longitudeHemisphere);
    const float latitudeDegrees = NMEA::position(latitude, latitudeHemisphere);
    // Written so that NaN fails too.
    if (!(longitudeDegrees > -180.0f && longitudeDegrees < 180.0f)) return;
    if (!(latitudeDegrees > -90.0f && latitudeDegrees < 90.0f)) return;

    if (m_latitudeField) m_latitudeField->setObjectValue(latitudeDegrees);
    if (m_longitudeField) m_longitudeField->setObjectValue(longitudeDegrees);
    if (m_splashController) m_splashController->setPosition(latitudeDegrees, longitudeDegrees);
    resetPositionDate();
}

void GPSController::setCogSog(const std::optional<std::string>& cogDegrees,
                              const std::optional<std::string>& sogKnots)
{
    if (!isEmpty(sogKnots)) {
        // Units are read at every sentence so a change in the drawer shows at once.
        if (m_gpsSettingsController) m_sogFormatter->setUnits(m_gpsSettingsController->units());
        m_sog = floatValue(*sogKnots);
        if (m_sogField) m_sogField->setObjectValue(m_sog);
    }
    // Below half a knot the course a receiver reports is noise.
    if (!isEmpty(cogDegrees) && m_sog >= kMinimumCourseSpeedKnots) {
        m_cog = floatValue(*cogDegrees);
        if (m_cogField) m_cogField->setObjectValue(m_cog);
        const auto heading = headingDegrees(m_cog);
        if (heading && m_compassView) m_compassView->setHeading(*heading);
    }
}

void GPSController::setPosition(const std::optional<UtcTime>& utc, const std::optional<GeoPosition>& position,
                                std::int32_t fix, const std::optional<float>& altitudeMeters)
{
    m_fix = fix;
    const double at = now();
    if (utc && m_utcField) {
        m_utcField->setStringValue(formatUtc(*utc));
        m_freshness.refreshed(ReadoutFreshness::kTime, at);
    }
    if (altitudeMeters && m_satelliteStore) m_satelliteStore->setAltitude(*altitudeMeters * kFeetPerMeter);
    // Without GSA (or once it stopped) the fix field says what the position sentences say,
    // rather than keep a "3D" nobody confirms any more.
    if (m_fixField && (!m_freshness.everRefreshed(ReadoutFreshness::kFixTypeSentence) ||
                       m_freshness.stale(ReadoutFreshness::kFixTypeSentence, at))) {
        m_fixField->setStringValue(
            m_fix > 0 ? Alert::localizedStringWithKey(m_fix == 2 ? "NSDGPS" : "NSGPS")
                      : Alert::localizedStringWithKey("NSInvalid") + "-" +
                            Alert::localizedStringWithKey("NSNoFix"));
        m_freshness.refreshed(ReadoutFreshness::kFix, at);
    }
    if (!position || m_fix <= 0) return;
    const float latitudeDegrees = position->latitudeDegrees32;
    const float longitudeDegrees = position->longitudeDegrees32;
    // The poles and the date line themselves are not shown, as with the texts.
    if (!(longitudeDegrees > -180.0f && longitudeDegrees < 180.0f)) return;
    if (!(latitudeDegrees > -90.0f && latitudeDegrees < 90.0f)) return;
    if (m_latitudeField) m_latitudeField->setObjectValue(latitudeDegrees);
    if (m_longitudeField) m_longitudeField->setObjectValue(longitudeDegrees);
    if (m_splashController) m_splashController->setPosition(latitudeDegrees, longitudeDegrees);
    m_freshness.refreshed(ReadoutFreshness::kPosition, at);
    resetPositionDate();
}

void GPSController::setCogSog(const std::optional<float>& cogDegrees, const std::optional<float>& sogKnots,
                              bool fromValidFix)
{
    if (sogKnots || cogDegrees) m_motionVoid = !fromValidFix;
    if (sogKnots) {
        if (m_gpsSettingsController) m_sogFormatter->setUnits(m_gpsSettingsController->units());
        m_sog = *sogKnots;
        if (m_sogField) {
            m_sogField->setObjectValue(m_sog);
            m_sogField->setStale(m_motionVoid);
        }
        m_freshness.refreshed(ReadoutFreshness::kSpeed, now());
    }
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

void GPSController::blankUnknownMotion(const std::optional<float>& cogDegrees,
                                       const std::optional<float>& sogKnots)
{
    if (!sogKnots && !m_state.speedKnots() && m_sogField) m_sogField->setObjectValue(std::nullopt);
    if (!cogDegrees && !m_state.courseDegrees() && m_cogField) m_cogField->setObjectValue(std::nullopt);
}

std::string GPSController::formatUtc(const UtcTime& utc)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u", unsigned{utc.hours}, unsigned{utc.minutes},
                  static_cast<unsigned>(utc.seconds));
    return text;
}

void GPSController::positionTimer()
{
    // Satellites of a system whose GSV stopped coming leave the sky plot.
    if (m_state.expire(now()) && m_satelliteStore) m_satelliteStore->setSatellitesInView(m_state.satellites());
    if (!hasConnection()) return;
    if (now() - m_positionDate <= kStalePositionSeconds) return;

    resetPositionDate();
    if (m_dataReadyView) m_dataReadyView->drawDataReady(kDataReadyNone);
    if (platform::Application* application = platform::services().application)
        application->beep();
    // One warning on screen is enough: while it waits for the user, later ones only beep.
    if (m_stalenessSheetShown) return;
    m_stalenessSheetShown = true;
    showSheet("NSNoGPSPositionData", std::nullopt,
              whileAlive([this] { m_stalenessSheetShown = false; }));
}

void GPSController::freshnessTimer()
{
    const double at = now();
    const std::pair<ReadoutFreshness::Readout, platform::TextField*> readouts[] = {
        {ReadoutFreshness::kTime, m_utcField},     {ReadoutFreshness::kPosition, m_latitudeField},
        {ReadoutFreshness::kPosition, m_longitudeField}, {ReadoutFreshness::kFix, m_fixField},
        {ReadoutFreshness::kSpeed, m_sogField},    {ReadoutFreshness::kCourse, m_cogField}};
    for (const auto& [readout, field] : readouts) {
        const bool voidMotion =
            m_motionVoid && (readout == ReadoutFreshness::kSpeed || readout == ReadoutFreshness::kCourse);
        if (field) field->setStale(voidMotion || m_freshness.stale(readout, at));
    }
    // A silent line is told by the lamp within seconds, long before the 90-second sheet.
    if (m_lastSentenceTime >= 0.0 && at - m_lastSentenceTime > ReadoutFreshness::kMinimumStaleSeconds &&
        !m_lampSilent) {
        m_lampSilent = true;
        if (m_dataReadyView) m_dataReadyView->drawDataReady(kDataReadyNone);
    }
}

void GPSController::sentenceArrived()
{
    m_lastSentenceTime = now();
    m_lampSilent = false;
}

void GPSController::resetPositionDate()
{
    m_positionDate = now();
}

std::string GPSController::formatUtcToLocal(const std::optional<std::string>& utc)
{
    if (isEmpty(utc)) return {};
    const std::string& text = *utc;
    auto pair = [&](std::size_t at) { return at < text.size() ? text.substr(at, 2) : std::string(); };
    return pair(0) + ":" + pair(2) + ":" + pair(4);
}

void GPSController::clearFields()
{
    m_freshness.reset();
    m_motionVoid = false;
    m_lastSentenceTime = -1.0;
    for (platform::TextField* field :
         {m_utcField, m_latitudeField, m_longitudeField, m_sogField, m_cogField, m_fixField}) {
        if (field) field->setStale(false);
    }
    if (m_utcField) m_utcField->setStringValue("");
    for (platform::TextField* field :
         {m_latitudeField, m_longitudeField, m_sogField, m_cogField, m_fixField}) {
        if (field) field->setObjectValue(std::nullopt);
    }
}

platform::Size GPSController::windowWillResize(const platform::Size& proposed)
{
    if (!m_gpsWindow) return proposed;
    const platform::Size minimum = m_gpsWindow->minSize();
    if (!(minimum.width > 0.0f && minimum.height > 0.0f)) return proposed;
    const float ratio = minimum.width / minimum.height;
    return {proposed.width, proposed.width / ratio};
}

void GPSController::windowDidResize()
{
    for (platform::TextField* field :
         {m_utcField, m_utcLabelField, m_latitudeField, m_latitudeLabelField, m_longitudeField,
          m_longitudeLabelField, m_cogField, m_cogLabelField, m_sogField, m_sogLabelField,
          m_fixField, m_fixLabelField}) {
        if (field) SystemQueries::sizeTextforControl(field);
    }
}
