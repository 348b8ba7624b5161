// SPDX-License-Identifier: BSD-2-Clause
// Arbitrary field texts through every decoder of the sentence table (whatever type the
// address names) and into a receiver state: no crash, and no record may carry a value outside
// the range its decoder promises.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "nmea/SatelliteNumbering.h"
#include "receiver/ReceiverState.h"
#include "nmea/SentenceTable.h"

namespace {

void check(bool condition)
{
    if (!condition) std::abort();
}

template <typename T>
void within(const std::optional<T>& value, T low, T high)
{
    if (value) check(!(*value < low) && !(*value > high) && std::isfinite(static_cast<double>(*value)));
}

void checkTime(const std::optional<UtcTime>& time)
{
    if (time) check(time->hours < 24 && time->minutes < 60 && time->seconds >= 0.0 && time->seconds < 61.0);
}

void checkPosition(const std::optional<GeoPosition>& position)
{
    if (!position) return;
    check(std::fabs(position->latitudeDegrees) <= 90.0 && std::fabs(position->longitudeDegrees) <= 180.0);
    check(std::fabs(position->latitudeDegrees32) <= 90.0f && std::fabs(position->longitudeDegrees32) <= 180.0f);
}

struct RangeCheck {
    void operator()(const GGA& r) const
    {
        checkTime(r.time);
        checkPosition(r.position);
        within(r.hdop, 0.0f, limits::kMaxDop);
        within(r.altitudeMeters, limits::kMinAltitudeMeters, limits::kMaxAltitudeMeters);
    }
    void operator()(const RMC& r) const
    {
        checkTime(r.time);
        checkPosition(r.position);
        within(r.speedKnots, 0.0f, limits::kMaxSpeedKnots);
        within(r.courseDegrees, 0.0f, 360.0f);
        if (r.status == 'V' || r.mode == 'N') check(!r.position);
    }
    void operator()(const GLL& r) const
    {
        checkTime(r.time);
        checkPosition(r.position);
        if (r.status == 'V' || r.mode == 'N') check(!r.position);
    }
    void operator()(const VTG& r) const
    {
        within(r.speedKnots, 0.0f, limits::kMaxSpeedKnots);
        within(r.courseDegrees, 0.0f, 360.0f);
    }
    void operator()(const GSA& r) const
    {
        within(r.fixType, 1, 3);
        within(r.pdop, 0.0f, limits::kMaxDop);
        within(r.hdop, 0.0f, limits::kMaxDop);
        within(r.vdop, 0.0f, limits::kMaxDop);
        check(r.satellites.size() <= 12);
        for (std::int32_t n : r.satellites) check(placeSatellite(r.system ? r.system : r.talkerSystem, n).has_value());
    }
    void operator()(const GSV& r) const
    {
        check(r.number >= 1 && r.number <= r.total && r.total <= 9);
        for (const GSV::Block& b : r.satellites) {
            check(placeSatellite(r.talkerSystem, b.number).has_value());
            within(b.elevationDegrees, 0, 90);
            within(b.azimuthDegrees, 0, 359);
            within(b.snrDbHz, 0, 99);
        }
    }
    void operator()(const GNS& r) const
    {
        checkTime(r.time);
        checkPosition(r.position);
        within(r.altitudeMeters, limits::kMinAltitudeMeters, limits::kMaxAltitudeMeters);
    }
    void operator()(const ZDA& r) const { checkTime(r.time); }
    void operator()(const HDT& r) const { within(r.headingDegrees, 0.0f, 360.0f); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static ReceiverState* state = new ReceiverState();  // kept across inputs, as in a session
    static double now = 0.0;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto fields = SentenceFields::split(text);
    if (!fields) return 0;
    for (const SentenceKind& kind : sentenceTable()) {
        if (!kind.decode) continue;
        const Decoded decoded = kind.decode(*fields);
        if (!decoded.record) {
            check(static_cast<bool>(decoded.note));
            continue;
        }
        std::visit(RangeCheck{}, *decoded.record);
        // A record of another type than the entry's would be folded wrongly.
        check(sentenceKind(kind.type) == &kind);
        now += 0.5;
        state->apply(*decoded.record, now);
    }
    check(state->satellitesUsed() <= state->satellitesInView());
    for (const SatelliteInView& s : state->satellites())
        check(s.elevationDegrees.value_or(0) >= 0 && s.elevationDegrees.value_or(0) <= 90 &&
              s.azimuthDegrees.value_or(0) >= 0 && s.azimuthDegrees.value_or(0) <= 359);
    return 0;
}
