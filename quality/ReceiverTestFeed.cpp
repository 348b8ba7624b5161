// SPDX-License-Identifier: BSD-2-Clause
#include "quality/ReceiverTestFeed.h"

#include <limits>
#include <type_traits>
#include <variant>

namespace {

struct PositionReport {
    std::optional<UtcTime> time;
    std::optional<GeoPosition> position;
    std::optional<float> hdop;
};

// The time, position and HDOP of a record that reports a position; nothing for the rest.
std::optional<PositionReport> positionReport(const SentenceRecord& record)
{
    return std::visit(
        [](const auto& r) -> std::optional<PositionReport> {
            using R = std::decay_t<decltype(r)>;
            if constexpr (std::is_same_v<R, GGA> || std::is_same_v<R, GNS>) {
                return PositionReport{r.time, r.position, r.hdop};
            } else if constexpr (std::is_same_v<R, RMC> || std::is_same_v<R, GLL>) {
                return PositionReport{r.time, r.position, std::nullopt};
            } else {
                return std::nullopt;
            }
        },
        record);
}

// The fix dimension after a record: 0 when the record itself or the last GGA says there is
// none. The state's mode alone would keep the last GSA's 3D through a restart until the next
// GSA, and stamp a first fix the moment the receiver has lost it.
int dimensionAfter(const ReceiverState& state, const SentenceRecord& record)
{
    const bool recordSaysNone = std::visit(
        [](const auto& r) {
            using R = std::decay_t<decltype(r)>;
            if constexpr (std::is_same_v<R, GGA>) return r.fixQuality && *r.fixQuality == 0;
            if constexpr (std::is_same_v<R, RMC> || std::is_same_v<R, GLL>) return r.status == 'V';
            if constexpr (std::is_same_v<R, GNS>) return !r.position;
            return false;
        },
        record);
    if (recordSaysNone) return 0;
    if (state.fixQuality() && *state.fixQuality() == 0) return 0;
    const int mode = state.mode();
    return mode >= 2 ? mode : 0;
}

}  // namespace

void ReceiverTestFeed::connected(double now)
{
    m_lastEpoch.reset();
    m_lastSpeedKnots = 0.0f;
    forgetSky();
    m_test.started(now, RunStart::Connect);
}

void ReceiverTestFeed::restarted(double now, RunStart why)
{
    m_lastEpoch.reset();
    forgetSky();
    m_test.started(now, why);
}

void ReceiverTestFeed::forgetSky()
{
    m_freshSky = false;
    m_skyPending = false;
    m_skyTakenAt = -std::numeric_limits<double>::infinity();
}

void ReceiverTestFeed::disconnected(double now)
{
    m_test.stopped(now);
}

void ReceiverTestFeed::apply(const ReceiverState& state, const SentenceRecord& record,
                             ReceiverState::Changes changes, double now)
{
    m_test.sentence(now);
    if (changes & ReceiverState::kSatellites) m_freshSky = true;
    // A receiver ends a GSV stream and sends a GSA for each system, all within a few
    // milliseconds: the first change of such a run is taken at once, the rest together at
    // the first sentence after the run (or the next change half a second on), so that a
    // cycle costs one or two looks at the sky instead of one per stream.
    const bool skyChanged = m_freshSky && (changes & (ReceiverState::kSatellites | ReceiverState::kUsed));
    const bool soonAfter = now >= m_skyTakenAt && now - m_skyTakenAt < kSkyGatherSeconds;
    if (skyChanged && soonAfter) {
        m_skyPending = true;
    } else if (skyChanged || m_skyPending) {
        state.satellitesInto(m_sky, false);
        m_test.satellites(now, m_sky);
        m_skyTakenAt = now;
        m_skyPending = false;
    }
    if (state.speedKnots()) m_lastSpeedKnots = *state.speedKnots();
    const int dimension = dimensionAfter(state, record);
    const auto report = positionReport(record);
    const bool newEpoch = report && report->position && report->time && report->time != m_lastEpoch;
    if (newEpoch && dimension >= 2) {
        m_lastEpoch = report->time;
        FixSample fix;
        fix.timeSeconds = now;
        fix.position = {report->position->latitudeDegrees, report->position->longitudeDegrees,
                        static_cast<double>(state.altitudeMeters().value_or(0.0f))};
        fix.hdop = report->hdop ? report->hdop : state.hdop();
        fix.speedKnots = m_lastSpeedKnots;
        m_test.position(now, dimension, fix);
    } else if (report || (changes & ReceiverState::kFix)) {
        m_test.position(now, dimension, std::nullopt);
    }
}
