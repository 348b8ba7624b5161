// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "app/ReadoutFreshness.h"
#include "receiver/ReceiverState.h"
#include "nmea/Sentences.h"

namespace platform {
class TextField;
}  // namespace platform

class CompassView;
class CourseFormatter;
class DataLampView;
class GPSSettingsController;
class PositionFormatter;
class SatelliteStore;
class SpeedFormatter;
class SplashController;

// The window's read-outs: time, fix, position, speed and course fields with their
// formatters, the compass and the data-ready lamp, and how fresh each is. Told decoded
// records or the receiver state; repaints only what changed. Main thread.
//
// Outlets are set before start() and are not owned; the formatters are, and the fields are
// let go of them when the read-outs go.
class Readouts {
public:
    Readouts();
    ~Readouts();
    Readouts(const Readouts&) = delete;
    Readouts& operator=(const Readouts&) = delete;

    // Outlets.
    void setUtcLabelField(platform::TextField* field) { m_utcLabelField = field; }
    void setLatitudeLabelField(platform::TextField* field) { m_latitudeLabelField = field; }
    void setLongitudeLabelField(platform::TextField* field) { m_longitudeLabelField = field; }
    void setCogLabelField(platform::TextField* field) { m_cogLabelField = field; }
    void setSogLabelField(platform::TextField* field) { m_sogLabelField = field; }
    void setFixLabelField(platform::TextField* field) { m_fixLabelField = field; }
    void setUtcField(platform::TextField* field) { m_utcField = field; }
    void setFixField(platform::TextField* field) { m_fixField = field; }
    void setLatitudeField(platform::TextField* field) { m_latitudeField = field; }
    void setLongitudeField(platform::TextField* field) { m_longitudeField = field; }
    void setCogField(platform::TextField* field) { m_cogField = field; }
    void setSogField(platform::TextField* field) { m_sogField = field; }
    void setDataReadyView(DataLampView* view) { m_dataReadyView = view; }
    void setCompassView(CompassView* view) { m_compassView = view; }
    void setGpsSettingsController(GPSSettingsController* c) { m_gpsSettingsController = c; }
    void setSatelliteStore(SatelliteStore* c) { m_satelliteStore = c; }
    void setSplashController(SplashController* c) { m_splashController = c; }

    // Attaches the formatters, clears and sizes the fields, sets the compass's range.
    void start();

    // A decoded sentence shown on the read-outs it feeds; state is the receiver state with
    // the sentence folded in.
    void show(const SentenceRecord& record, const ReceiverState& state);
    // What a UBX message changed in the receiver state.
    void showState(const ReceiverState& state, ReceiverState::Changes changes);

    // fix: 0 none, 1 valid, 2 differential ... Any value may be absent.
    void setPosition(const std::optional<UtcTime>& utc, const std::optional<GeoPosition>& position,
                     std::int32_t fix, const std::optional<float>& altitudeMeters);
    // fromValidFix false: the values of a void fix, shown greyed until valid ones come.
    void setCogSog(const std::optional<float>& cogDegrees, const std::optional<float>& sogKnots,
                   bool fromValidFix = true);
    // After a sentence that carries speed and course: a value it did not supply, and no other
    // sentence of the epoch did, is unknown and shown blank rather than the last epoch's.
    void blankUnknownMotion(const std::optional<float>& cogDegrees, const std::optional<float>& sogKnots,
                            const ReceiverState& state);

    // The lamp: DataLampView's states.
    void lamp(std::uint32_t state);
    // A checksum-valid sentence came.
    void sentenceArrived();
    // Once a second: greys the read-outs the receiver stopped refreshing, turns the lamp
    // red when no sentence has come for a while.
    void freshnessTimer();
    // The connection ended: every read-out empty, lamp red, compass off.
    void connectionClosed();
    void clearFields();
    // Seconds since a position was last shown (or since the watch was last reset).
    double positionAge() const;
    void resetPositionDate();
    // Each field's text sized to its frame.
    void sizeFields();

    // "hh:mm:ss", whole seconds.
    static std::string formatUtc(const UtcTime& utc);

    std::int32_t fix() const { return m_fix; }
    float sog() const { return m_sog; }
    float cog() const { return m_cog; }

private:
    void showGsa(const GSA& gsa);
    void showTime(const UtcTime& utc);

    platform::TextField* m_utcLabelField = nullptr;
    platform::TextField* m_latitudeLabelField = nullptr;
    platform::TextField* m_longitudeLabelField = nullptr;
    platform::TextField* m_cogLabelField = nullptr;
    platform::TextField* m_sogLabelField = nullptr;
    platform::TextField* m_fixLabelField = nullptr;
    platform::TextField* m_utcField = nullptr;
    platform::TextField* m_fixField = nullptr;
    platform::TextField* m_latitudeField = nullptr;
    platform::TextField* m_longitudeField = nullptr;
    platform::TextField* m_cogField = nullptr;
    platform::TextField* m_sogField = nullptr;
    DataLampView* m_dataReadyView = nullptr;
    CompassView* m_compassView = nullptr;
    GPSSettingsController* m_gpsSettingsController = nullptr;
    SatelliteStore* m_satelliteStore = nullptr;
    SplashController* m_splashController = nullptr;

    std::unique_ptr<PositionFormatter> m_latitudePositionFormatter;
    std::unique_ptr<PositionFormatter> m_longitudePositionFormatter;
    std::unique_ptr<CourseFormatter> m_cogFormatter;
    std::unique_ptr<SpeedFormatter> m_sogFormatter;

    double m_positionDate = 0.0;  // platform::Clock seconds
    float m_sog = 0.0f;           // knots
    float m_cog = 0.0f;           // degrees true
    bool m_motionVoid = false;    // speed and course shown are those of a void fix
    std::int32_t m_fix = 0;
    ReadoutFreshness m_freshness;
    double m_lastSentenceTime = -1.0;  // platform::Clock seconds; < 0 before the first
    bool m_lampSilent = false;         // the lamp was turned red for a silent line
};
