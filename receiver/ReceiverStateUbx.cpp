// SPDX-License-Identifier: BSD-2-Clause
// The receiver state's fold of UBX messages; the NMEA fold is in ReceiverState.cpp.

#include <algorithm>
#include <cmath>
#include <map>
#include <variant>

#include "receiver/ReceiverState.h"

namespace {

constexpr double kKnotsPerMetrePerSecond = 3600.0 / 1852.0;

std::optional<Constellation> constellationOf(binary::UbxGnss gnss)
{
    switch (gnss) {
    case binary::UbxGnss::Gps: return Constellation::GPS;
    case binary::UbxGnss::Sbas: return Constellation::SBAS;
    case binary::UbxGnss::Galileo: return Constellation::Galileo;
    case binary::UbxGnss::BeiDou: return Constellation::BeiDou;
    case binary::UbxGnss::Qzss: return Constellation::QZSS;
    case binary::UbxGnss::Glonass: return Constellation::GLONASS;
    case binary::UbxGnss::NavIC: return Constellation::NavIC;
    case binary::UbxGnss::Imes: return std::nullopt;
    }
    return std::nullopt;
}

GeoPosition geoPosition(double latitudeDegrees, double longitudeDegrees)
{
    GeoPosition position;
    position.latitudeDegrees = latitudeDegrees;
    position.longitudeDegrees = longitudeDegrees;
    position.latitudeDegrees32 = static_cast<float>(latitudeDegrees);
    position.longitudeDegrees32 = static_cast<float>(longitudeDegrees);
    return position;
}

// MON-HW and each MON-RF block say the same of the RF front end, under the same names.
void takeRf(ReceiverHealth& health, const auto& block)
{
    health.jamming = block.jamming;
    health.jamIndicator = block.jamIndicator;
    health.agcCount = block.agcCount;
    health.noisePerMs = block.noisePerMs;
    health.antenna = block.antennaStatus;
    health.antennaPower = block.antennaPower;
}

template <typename T>
ReceiverState::Changes keep(std::optional<T>& kept, const std::optional<T>& value, ReceiverState::Changes change)
{
    if (kept == value) return 0;
    kept = value;
    return change;
}

}  // namespace

ReceiverState::Changes ReceiverState::apply(const binary::UbxRecord& record, double nowSeconds)
{
    return std::visit(
        [&](const auto& typed) -> Changes {
            using T = std::decay_t<decltype(typed)>;
            if constexpr (std::is_same_v<T, binary::UbxNavPvt> || std::is_same_v<T, binary::UbxNavSat> ||
                          std::is_same_v<T, binary::UbxNavSig>)
                return applyUbx(typed, nowSeconds);
            else if constexpr (std::is_same_v<T, binary::UbxNavDop> || std::is_same_v<T, binary::UbxMonVer> ||
                               std::is_same_v<T, binary::UbxMonHw> || std::is_same_v<T, binary::UbxMonRf> ||
                               std::is_same_v<T, binary::UbxNavStatus>)
                return applyUbx(typed);
            else if constexpr (std::is_same_v<T, binary::UbxNavPosLlh> || std::is_same_v<T, binary::UbxNavVelNed> ||
                               std::is_same_v<T, binary::UbxNavTimeUtc>)
                return m_ubxPvt ? 0 : applyUbx(typed);
            else
                return 0;
        },
        record);
}

// NAV-PVT: one epoch's solution. Values the receiver marks invalid stay unknown.
ReceiverState::Changes ReceiverState::applyUbx(const binary::UbxNavPvt& pvt, double)
{
    m_ubxNavigation = true;
    m_ubxPvt = true;
    Changes changes = 0;
    if (pvt.time) changes |= takeUbxTime(*pvt.time, pvt.date);
    const bool fix = takeUbxFix(pvt.fixType, pvt.gnssFixOk, pvt.differential, pvt.carrier, false, changes);
    const std::int32_t mode = m_fixType.value_or(1);
    if (fix && pvt.latitudeDeg && pvt.longitudeDeg) {
        changes |= takePosition(geoPosition(*pvt.latitudeDeg, *pvt.longitudeDeg));
        m_positioned = true;
    }
    if (mode == 3 && pvt.heightMslM) changes |= takeAltitude(static_cast<float>(*pvt.heightMslM));
    changes |= keep(m_altitudeEllipsoid, mode == 3 ? pvt.heightEllipsoidM : std::nullopt, kAltitude);
    changes |= keep(m_horizontalError, fix ? std::optional<double>(pvt.horizontalAccuracyM) : std::nullopt, kPosition);
    changes |= keep(m_verticalError, mode == 3 ? std::optional<double>(pvt.verticalAccuracyM) : std::nullopt, kAltitude);
    if (fix) {
        changes |= keep(m_speedKnots, std::optional<float>(static_cast<float>(pvt.groundSpeedMps * kKnotsPerMetrePerSecond)), kSpeed);
        changes |= keep(m_courseDegrees, std::optional<float>(static_cast<float>(pvt.headingOfMotionDeg)), kCourse);
    }
    if (!m_ubxDop && pvt.pdop > 0.0) changes |= keep(m_pdop, std::optional<float>(static_cast<float>(pvt.pdop)), kDop);
    return changes;
}

// NAV-SAT: every satellite the receiver knows of, with its place, signal, quality, health
// and whether the solution uses it. The whole sky at once: a satellite not listed is gone.
ReceiverState::Changes ReceiverState::applyUbx(const binary::UbxNavSat& sat, double nowSeconds)
{
    m_ubxSky = true;
    std::map<Key, Tracked> satellites;
    std::map<Constellation, std::vector<std::int32_t>> used;
    std::uint32_t order = 0;
    for (const binary::UbxSatellite& s : sat.satellites) {
        const auto system = constellationOf(s.gnss);
        if (!system) continue;
        Tracked tracked;
        if (s.elevationDeg && *s.elevationDeg >= 0 && *s.elevationDeg <= 90)
            tracked.elevationDegrees = *s.elevationDeg;
        if (s.azimuthDeg && *s.azimuthDeg >= 0 && *s.azimuthDeg <= 360)
            tracked.azimuthDegrees = *s.azimuthDeg % 360;
        tracked.reports.push_back(Report{0xFFFF, s.cnoDbHz > 0 ? std::optional<std::int32_t>(s.cnoDbHz) : std::nullopt, std::nullopt});
        if (s.health != binary::UbxHealth::Unknown) tracked.health = static_cast<std::int32_t>(s.health);
        tracked.quality = s.quality;
        tracked.order = order++;
        seen(tracked, nowSeconds);
        satellites[{*system, s.svId}] = std::move(tracked);
        if (s.used) used[*system].push_back(s.svId);
    }
    Changes changes = 0;
    // Satellites count as changed once per NAV-SAT, as a GSV cycle's end does.
    changes |= kSatellites;
    m_satellites = std::move(satellites);
    m_cycles.clear();
    for (auto& [system, svids] : used) std::sort(svids.begin(), svids.end());
    if (used != m_used) changes |= kUsed;
    m_used = std::move(used);
    return changes;
}

// NAV-SIG: every signal of every satellite, with its C/N0, quality, health and use in the
// solution. The satellites themselves and their places stay NAV-SAT's (or GSV's): a signal
// of a satellite not listed there is not shown.
ReceiverState::Changes ReceiverState::applyUbx(const binary::UbxNavSig& sig, double nowSeconds)
{
    std::map<Key, std::vector<SignalInView>> signals;
    for (const binary::UbxSignal& s : sig.signalList) {
        const auto system = constellationOf(s.gnss);
        if (!system) continue;
        SignalInView signal;
        signal.sigId = s.sigId;
        if (*system == Constellation::GLONASS && s.glonassFrequency)
            signal.freqId = *s.glonassFrequency + 7;
        if (s.cnoDbHz > 0) signal.snrDbHz = s.cnoDbHz;
        signal.usedInFix = s.pseudorangeUsed || s.carrierRangeUsed || s.dopplerUsed;
        if (s.health != binary::UbxHealth::Unknown) signal.health = static_cast<std::int32_t>(s.health);
        // 0..7 by the receiver's description; a garbled byte is no quality.
        if (s.quality <= 7) signal.quality = s.quality;
        auto& list = signals[{*system, s.svId}];
        // A signal listed twice is kept once, as last said.
        const auto same = std::find_if(list.begin(), list.end(),
                                       [&](const SignalInView& kept) { return kept.sigId == signal.sigId; });
        if (same == list.end()) list.push_back(signal);
        else *same = signal;
    }
    m_ubxSignalsSeen = nowSeconds;
    if (signals == m_ubxSignals) return 0;
    m_ubxSignals = std::move(signals);
    return kSatellites;
}

ReceiverState::Changes ReceiverState::applyUbx(const binary::UbxNavDop& dop)
{
    m_ubxDop = true;
    Changes changes = 0;
    changes |= keep(m_pdop, std::optional<float>(static_cast<float>(dop.pdop)), kDop);
    changes |= keep(m_hdop, std::optional<float>(static_cast<float>(dop.hdop)), kDop);
    changes |= keep(m_vdop, std::optional<float>(static_cast<float>(dop.vdop)), kDop);
    return changes;
}

ReceiverState::Changes ReceiverState::applyUbx(const binary::UbxMonVer& ver)
{
    ReceiverHealth health = m_health;
    const auto text = [](const std::string& value) {
        return value.empty() ? std::nullopt : std::optional<std::string>(value);
    };
    health.software = text(ver.software);
    health.hardware = text(ver.hardware);
    health.model = text(ver.module());
    health.firmware = text(ver.firmware());
    health.protocolVersion = text(ver.protocolVersion());
    health.extensions = ver.extensions;
    if (health == m_health) return 0;
    m_health = std::move(health);
    return kHealth;
}

ReceiverState::Changes ReceiverState::applyUbx(const binary::UbxMonHw& hw)
{
    ReceiverHealth health = m_health;
    takeRf(health, hw);
    if (health == m_health) return 0;
    m_health = std::move(health);
    return kHealth;
}

// MON-RF (generation 9 on): one block per RF band; the worst of them is shown.
ReceiverState::Changes ReceiverState::applyUbx(const binary::UbxMonRf& rf)
{
    if (rf.blocks.empty()) return 0;
    ReceiverHealth health = m_health;
    const binary::UbxRfBlock* worst = &rf.blocks.front();
    for (const binary::UbxRfBlock& block : rf.blocks)
        if (block.jamIndicator > worst->jamIndicator) worst = &block;
    takeRf(health, *worst);
    if (health == m_health) return 0;
    m_health = std::move(health);
    return kHealth;
}

bool ReceiverState::takeUbxFix(binary::UbxFixType type, bool fixOk, bool differential,
                               binary::UbxCarrierSolution carrier, bool timeOnlyIsFix, Changes& changes)
{
    const bool timeOnly = type == binary::UbxFixType::TimeOnly;
    const bool fix = fixOk && ((timeOnlyIsFix && timeOnly) || type == binary::UbxFixType::Fix2D ||
                               type == binary::UbxFixType::Fix3D || type == binary::UbxFixType::GnssDeadReckoning);
    const std::int32_t mode = !fix ? 1 : type == binary::UbxFixType::Fix2D ? 2 : 3;
    changes |= keep(m_fixType, std::optional<std::int32_t>(mode), kFix);
    changes |= keep(m_fixQuality, std::optional<std::int32_t>(fix ? (differential ? 2 : 1) : 0), kFix);
    const std::optional<std::int32_t> solution =
        fix && carrier != binary::UbxCarrierSolution::None
            ? std::optional<std::int32_t>(static_cast<std::int32_t>(carrier))
            : std::nullopt;
    changes |= keep(m_carrierSolution, solution, kFix);
    if (m_differential != (fix && differential)) changes |= kFix;
    m_differential = fix && differential;
    m_timeOnly = fix && timeOnly;
    m_positionValid = fix;
    return fix;
}

ReceiverState::Changes ReceiverState::takeUbxTime(const binary::UbxTimeOfDay& time,
                                                  const std::optional<binary::UbxDate>& date)
{
    // The nanosecond field corrects the rounded second and may be negative; the sum is kept
    // to whole milliseconds, never rounded up into a second that does not exist.
    const double exact = time.second + time.nanosecond * 1e-9;
    double seconds = std::round(exact * 1000.0) / 1000.0;
    if (seconds >= 60.0 && time.second < 60) seconds = 59.999;
    seconds = std::max(0.0, seconds);
    Changes changes = takeTime(UtcTime{time.hour, time.minute, seconds});
    if (date) changes |= keep(m_date, std::optional<UtcDate>(UtcDate{date->year, date->month, date->day}), kDate);
    return changes;
}

ReceiverState::Changes ReceiverState::applyUbx(const binary::UbxNavTimeUtc& time)
{
    if (!time.time) return 0;
    m_ubxNavigation = true;
    return takeUbxTime(*time.time, time.date);
}

// NAV-POSLLH carries no fix flag: NAV-STATUS (or the NMEA the receiver also sends) says
// whether there is a fix; the position counts only with one.
ReceiverState::Changes ReceiverState::applyUbx(const binary::UbxNavPosLlh& llh)
{
    m_ubxNavigation = true;
    if (!m_positionValid) return 0;
    Changes changes = takePosition(geoPosition(llh.latitudeDeg, llh.longitudeDeg));
    m_positioned = true;
    const bool threeD = m_fixType == 3;
    if (threeD) changes |= takeAltitude(static_cast<float>(llh.heightMslM));
    changes |= keep(m_altitudeEllipsoid, threeD ? std::optional<double>(llh.heightEllipsoidM) : std::nullopt, kAltitude);
    changes |= keep(m_horizontalError, std::optional<double>(llh.horizontalAccuracyM), kPosition);
    changes |= keep(m_verticalError, threeD ? std::optional<double>(llh.verticalAccuracyM) : std::nullopt, kAltitude);
    return changes;
}

ReceiverState::Changes ReceiverState::applyUbx(const binary::UbxNavVelNed& velocity)
{
    if (!m_positionValid) return 0;
    Changes changes = keep(m_speedKnots, std::optional<float>(static_cast<float>(velocity.groundSpeedMps * kKnotsPerMetrePerSecond)), kSpeed);
    changes |= keep(m_courseDegrees, std::optional<float>(static_cast<float>(velocity.headingDeg)), kCourse);
    return changes;
}

ReceiverState::Changes ReceiverState::applyUbx(const binary::UbxNavStatus& status)
{
    Changes changes = 0;
    if (m_health.spoofing != status.spoofing) {
        m_health.spoofing = status.spoofing;
        changes |= kHealth;
    }
    if (m_ubxPvt) return changes;
    // Without NAV-PVT the fix comes from here. A timing receiver on its surveyed position
    // reports "time only": a fixed 3D position, as gpsd counts it.
    takeUbxFix(status.fixType, status.gnssFixOk, status.differential,
               status.carrierSolutionValid ? status.carrier : binary::UbxCarrierSolution::None, true, changes);
    return changes;
}
