// SPDX-License-Identifier: BSD-2-Clause
#include "receiver/ReceiverState.h"

#include <algorithm>

#include "nmea/SatelliteNumbering.h"
#include "receiver/SignalNames.h"

namespace {

template <typename T>
ReceiverState::Changes store(std::optional<T>& kept, const std::optional<T>& sent, ReceiverState::Change change)
{
    if (!sent || kept == sent) return 0;
    kept = sent;
    return change;
}

bool samePosition(const std::optional<GeoPosition>& a, const GeoPosition& b)
{
    return a && a->latitudeDegrees == b.latitudeDegrees && a->longitudeDegrees == b.longitudeDegrees;
}

constexpr std::uint16_t kNoSystem = 0xFF;
constexpr std::uint16_t kNoSignal = 0xFF;

}  // namespace

ReceiverState::Changes ReceiverState::apply(const SentenceRecord& record, double nowSeconds)
{
    if (!takesFromNmea(record)) return 0;
    return std::visit([&](const auto& typed) { return apply(typed, nowSeconds); }, record);
}

bool ReceiverState::takesFromNmea(const SentenceRecord& record) const
{
    // Fields a UBX message owns are not taken from NMEA once it has come (see the header).
    const bool navigation = std::holds_alternative<GGA>(record) || std::holds_alternative<RMC>(record) ||
                            std::holds_alternative<GLL>(record) || std::holds_alternative<GNS>(record) ||
                            std::holds_alternative<VTG>(record) || std::holds_alternative<ZDA>(record);
    if (m_ubxNavigation && navigation) return false;
    if (m_ubxSky && (std::holds_alternative<GSV>(record) || std::holds_alternative<GSA>(record))) return false;
    return true;
}

ReceiverState::Changes ReceiverState::takePosition(const std::optional<GeoPosition>& position)
{
    if (!position || samePosition(m_position, *position)) return 0;
    m_position = position;
    m_positioned = true;
    return kPosition;
}

ReceiverState::Changes ReceiverState::takeTime(const std::optional<UtcTime>& time)
{
    if (!time || time == m_time) return 0;
    // A new epoch: what the last one said of place and motion is no statement about this
    // one. Sentences of the new epoch supply it again; until they do it is unknown, never
    // the old value under the new time.
    Changes changes = kTime;
    if (m_position) changes |= kPosition;
    if (m_speedKnots) changes |= kSpeed;
    if (m_courseDegrees) changes |= kCourse;
    m_position.reset();
    m_speedKnots.reset();
    m_courseDegrees.reset();
    m_time = time;
    return changes;
}

ReceiverState::Changes ReceiverState::takeAltitude(const std::optional<float>& altitude)
{
    return store(m_altitudeMeters, altitude, kAltitude);
}

ReceiverState::Changes ReceiverState::apply(const GGA& gga, double)
{
    Changes changes = takeTime(gga.time);
    changes |= takePosition(gga.position) | takeAltitude(gga.altitudeMeters);
    changes |= store(m_fixQuality, gga.fixQuality, kFix);
    // Of this sentence alone: a GGA without corrections says there are none.
    if (m_dgpsAge != gga.dgpsAgeSeconds || m_dgpsStation != gga.dgpsStation) changes |= kFix;
    m_dgpsAge = gga.dgpsAgeSeconds;
    m_dgpsStation = gga.dgpsStation;
    changes |= store(m_geoidSeparation, gga.geoidSeparationMeters, kAltitude);
    if (gga.fixQuality) {
        const bool valid = *gga.fixQuality > 0;
        if (valid != m_positionValid) changes |= kFix;
        m_positionValid = valid;
    }
    return changes;
}

ReceiverState::Changes ReceiverState::apply(const RMC& rmc, double)
{
    Changes changes = takeTime(rmc.time);
    changes |= takePosition(rmc.position);
    changes |= store(m_date, rmc.date, kDate);
    // A date that was sent but could not be read is no reason to believe the old one: the
    // day may just have changed.
    if (rmc.dropped.has(9) && m_date) {
        m_date.reset();
        changes |= kDate;
    }
    // Speed and course of a void fix are shown greyed by the window but are not the
    // receiver's motion.
    if (rmc.validFix()) {
        changes |= store(m_speedKnots, rmc.speedKnots, kSpeed);
        changes |= store(m_courseDegrees, rmc.courseDegrees, kCourse);
    }
    if (rmc.status == 'A' || rmc.status == 'V') {
        const bool valid = rmc.status == 'A' && rmc.mode != 'N';
        if (valid != m_positionValid) changes |= kFix;
        m_positionValid = valid;
    }
    return changes;
}

ReceiverState::Changes ReceiverState::apply(const GLL& gll, double)
{
    const Changes changes = takeTime(gll.time);
    return changes | takePosition(gll.position);
}

ReceiverState::Changes ReceiverState::apply(const VTG& vtg, double)
{
    return store(m_speedKnots, vtg.speedKnots, kSpeed) | store(m_courseDegrees, vtg.courseDegrees, kCourse);
}

ReceiverState::Changes ReceiverState::apply(const GNS& gns, double)
{
    Changes changes = takeTime(gns.time);
    changes |= takePosition(gns.position) | takeAltitude(gns.altitudeMeters);
    const bool valid = gns.position.has_value();
    if (gns.modes[0] != 0) {
        if (valid != m_positionValid) changes |= kFix;
        m_positionValid = valid;
    }
    return changes;
}

ReceiverState::Changes ReceiverState::apply(const ZDA& zda, double)
{
    Changes changes = takeTime(zda.time);
    changes |= store(m_date, zda.date, kDate);
    if (!zda.date && (zda.dropped.has(2) || zda.dropped.has(3) || zda.dropped.has(4)) && m_date) {
        m_date.reset();
        changes |= kDate;
    }
    return changes;
}

ReceiverState::Changes ReceiverState::apply(const HDT& hdt, double)
{
    return store(m_headingDegrees, hdt.headingDegrees, kHeading);
}

ReceiverState::Changes ReceiverState::setUsed(Constellation system, std::vector<std::int32_t> svids)
{
    std::sort(svids.begin(), svids.end());
    svids.erase(std::unique(svids.begin(), svids.end()), svids.end());
    auto& kept = m_used[system];
    if (kept == svids) return 0;
    kept = std::move(svids);
    return kUsed;
}

ReceiverState::Changes ReceiverState::apply(const GSA& gsa, double)
{
    // Without its mode and fix type a GSA says nothing of the fix.
    if (!gsa.stated) return 0;
    Changes changes = store(m_fixType, gsa.fixType, kFix);
    if (gsa.pdop != m_pdop || gsa.hdop != m_hdop || gsa.vdop != m_vdop) {
        // Each GSA states all three; an empty one means the receiver has none now.
        if (!gsa.dropped.has(15)) m_pdop = gsa.pdop;
        if (!gsa.dropped.has(16)) m_hdop = gsa.hdop;
        if (!gsa.dropped.has(17)) m_vdop = gsa.vdop;
        changes |= kDop;
    }

    // The system id, else the talker, else each number's range says whose satellites these
    // are. A GSA speaks for those systems only: a GN receiver sends one per system.
    const std::optional<Constellation> system = gsa.system ? gsa.system : gsa.talkerSystem;
    std::map<Constellation, std::vector<std::int32_t>> used;
    if (system) {
        used[*system];
        // SBAS and QZSS numbers come in the GPS ranges where the receiver has no own id.
        if (*system == Constellation::GPS) used[Constellation::SBAS];
        if (*system == Constellation::GPS && !gsa.system) used[Constellation::QZSS];
    }
    for (std::int32_t number : gsa.satellites)
        if (const auto placed = placeSatellite(system, number)) used[placed->constellation].push_back(placed->svid);
    if (!system && gsa.satellites.empty()) {
        for (auto& [constellation, svids] : m_used) changes |= setUsed(constellation, {});
        return changes;
    }
    for (auto& [constellation, svids] : used) changes |= setUsed(constellation, std::move(svids));
    return changes;
}

ReceiverState::Changes ReceiverState::apply(const GSV& gsv, double nowSeconds)
{
    const Group group = static_cast<Group>(
        (gsv.talkerSystem ? static_cast<std::uint16_t>(*gsv.talkerSystem) : kNoSystem) << 8 |
        (gsv.signalId ? *gsv.signalId : kNoSignal));
    Cycle& cycle = m_cycles[group];
    if (gsv.number == 1) {
        cycle.started = true;
        cycle.seen.clear();
    }

    for (const GSV::Block& block : gsv.satellites) {
        const auto placed = placeSatellite(gsv.talkerSystem, block.number);
        if (!placed) continue;
        const Key key{placed->constellation, placed->svid};
        Tracked& satellite = m_satellites[key];
        // Each sentence states the place anew; one it does not give is unknown, not the old.
        satellite.elevationDegrees = block.elevationDegrees;
        satellite.azimuthDegrees = block.azimuthDegrees;
        satellite.order = static_cast<std::uint32_t>(4 * (gsv.number - 1)) + block.position;
        seen(satellite, nowSeconds);
        // A stream of one signal id (NMEA 4.10) reports that signal of each of its satellites;
        // the streams of one cycle merge into one satellite with a signal each.
        const std::optional<std::int32_t> sigId =
            gsv.signalId ? sigIdOfNmeaSignal(placed->constellation, *gsv.signalId) : std::nullopt;
        auto report = std::find_if(satellite.reports.begin(), satellite.reports.end(),
                                   [&](const Report& r) { return r.group == group; });
        if (report == satellite.reports.end())
            satellite.reports.push_back({group, block.snrDbHz, sigId});
        else
            *report = Report{group, block.snrDbHz, sigId};
        if (cycle.started) cycle.seen.push_back(key);
    }

    if (gsv.number != gsv.total) return 0;
    Changes changes = kSatellites;
    if (cycle.started) {
        // The cycle ends: what this stream did not list since its first sentence is gone, also
        // when a sentence between was lost, so that the last cycle's satellites do not linger.
        std::vector<Key>& seen = cycle.seen;  // emptied below
        std::sort(seen.begin(), seen.end());
        for (auto it = m_satellites.begin(); it != m_satellites.end();) {
            auto& reports = it->second.reports;
            if (!std::binary_search(seen.begin(), seen.end(), it->first))
                reports.erase(std::remove_if(reports.begin(), reports.end(),
                                             [&](const Report& r) { return r.group == group; }),
                              reports.end());
            it = reports.empty() ? m_satellites.erase(it) : std::next(it);
        }
    }
    cycle.started = false;
    cycle.seen.clear();
    return changes | expire(nowSeconds);
}

void ReceiverState::seen(Tracked& tracked, double nowSeconds)
{
    tracked.lastSeen = nowSeconds;
    m_nextExpiry = std::min(m_nextExpiry, nowSeconds + kSatelliteLifetimeSeconds);
}

ReceiverState::Changes ReceiverState::expire(double nowSeconds)
{
    Changes changes = 0;
    // A NaN clock is never "before" anything: the walk below then decides, as it always did.
    if (!(nowSeconds <= m_nextExpiry)) {
        const auto before = m_satellites.size();
        std::erase_if(m_satellites, [&](const auto& entry) {
            return nowSeconds - entry.second.lastSeen > kSatelliteLifetimeSeconds;
        });
        if (m_satellites.size() != before) changes |= kSatellites;
        m_nextExpiry = std::numeric_limits<double>::infinity();
        for (const auto& [key, tracked] : m_satellites)
            m_nextExpiry = std::min(m_nextExpiry, tracked.lastSeen + kSatelliteLifetimeSeconds);
    }
    // A receiver told to stop NAV-SIG leaves its last signals behind, not shown for ever.
    if (!m_ubxSignals.empty() && nowSeconds - m_ubxSignalsSeen > kSatelliteLifetimeSeconds) {
        m_ubxSignals.clear();
        changes |= kSatellites;
    }
    return changes;
}

std::optional<std::int32_t> ReceiverState::status() const
{
    if (m_timeOnly) return 7;  // gpsd's "time": a timing receiver on its surveyed position
    if (m_carrierSolution == 2) return 3;
    if (m_carrierSolution == 1) return 4;
    if (m_ubxNavigation) return m_differential ? std::optional<std::int32_t>(2) : std::nullopt;
    // GGA quality: 2 DGPS, 4 RTK fixed, 5 RTK float.
    if (m_fixQuality == 2) return 2;
    if (m_fixQuality == 4) return 3;
    if (m_fixQuality == 5) return 4;
    return std::nullopt;
}

std::int32_t ReceiverState::mode() const
{
    if (m_fixType) return *m_fixType;
    if (!m_fixQuality && !m_positioned) return 0;
    if (!m_positionValid) return 1;
    return m_altitudeMeters ? 3 : 2;
}

bool ReceiverState::used(const Key& key) const
{
    const auto used = m_used.find(key.first);
    return used != m_used.end() && std::binary_search(used->second.begin(), used->second.end(), key.second);
}

void ReceiverState::signalsOf(const Key& key, const Tracked& tracked, bool usedInFix,
                              std::vector<SignalInView>& signals) const
{
    if (const auto ubx = m_ubxSignals.find(key); ubx != m_ubxSignals.end()) {
        signals.assign(ubx->second.begin(), ubx->second.end());
        return;
    }
    signals.clear();
    for (const Report& report : tracked.reports) {
        if (!report.sigId) continue;
        auto same = std::find_if(signals.begin(), signals.end(),
                                 [&](const SignalInView& s) { return s.sigId == *report.sigId; });
        if (same == signals.end()) {
            signals.push_back(SignalInView{});
            same = std::prev(signals.end());
            same->sigId = *report.sigId;
        }
        if (report.snrDbHz && (!same->snrDbHz || *report.snrDbHz > *same->snrDbHz)) same->snrDbHz = report.snrDbHz;
        // GSA names satellites, not signals: a used satellite uses the signals it tracks.
        same->usedInFix = usedInFix && same->snrDbHz.has_value();
    }
}

std::vector<SatelliteInView> ReceiverState::satellites() const
{
    std::vector<SatelliteInView> result;
    satellitesInto(result, true);
    return result;
}

void ReceiverState::satellitesInto(std::vector<SatelliteInView>& result, bool withSignals) const
{
    // By constellation, then as the receiver last listed them, then by number. The entries
    // are sorted, not the satellites, which are built once.
    using Entry = std::pair<Key, const Tracked*>;
    std::vector<Entry> ordered;
    ordered.reserve(m_satellites.size());
    for (const auto& [key, tracked] : m_satellites) ordered.emplace_back(key, &tracked);
    const auto before = [](const Entry& a, const Entry& b) {
        if (a.first.first != b.first.first) return a.first.first < b.first.first;
        if (a.second->order != b.second->order) return a.second->order < b.second->order;
        return a.first.second < b.first.second;
    };
    // Many receivers list their satellites by number: the map's order is then the order.
    if (!std::is_sorted(ordered.begin(), ordered.end(), before)) std::sort(ordered.begin(), ordered.end(), before);
    // Each kept entry is filled in place, so that its signal list's memory is used again.
    result.resize(ordered.size());
    // The used numbers of the constellation at hand: the entries come by constellation.
    std::optional<Constellation> usedOf;
    const std::vector<std::int32_t>* usedNumbers = nullptr;
    for (std::size_t i = 0; i < ordered.size(); ++i) {
        const auto& [key, tracked] = ordered[i];
        if (usedOf != key.first) {
            usedOf = key.first;
            const auto found = m_used.find(key.first);
            usedNumbers = found == m_used.end() ? nullptr : &found->second;
        }
        SatelliteInView& satellite = result[i];
        satellite.constellation = key.first;
        satellite.svid = key.second;
        satellite.elevationDegrees = tracked->elevationDegrees;
        satellite.azimuthDegrees = tracked->azimuthDegrees;
        satellite.snrDbHz.reset();
        satellite.health = tracked->health;
        satellite.quality = tracked->quality;
        satellite.usedInFix = usedNumbers && std::binary_search(usedNumbers->begin(), usedNumbers->end(), key.second);
        const auto stronger = [&satellite](const std::optional<std::int32_t>& snr) {
            if (snr && (!satellite.snrDbHz || *snr > *satellite.snrDbHz)) satellite.snrDbHz = snr;
        };
        // The GSV streams' signals are made of these reports, so their strongest is here too.
        for (const Report& report : tracked->reports) stronger(report.snrDbHz);
        if (withSignals) {
            signalsOf(key, *tracked, satellite.usedInFix, satellite.signalList);
            for (const SignalInView& signal : satellite.signalList) stronger(signal.snrDbHz);
        } else {
            satellite.signalList.clear();
            if (const auto ubx = m_ubxSignals.find(key); ubx != m_ubxSignals.end())
                for (const SignalInView& signal : ubx->second) stronger(signal.snrDbHz);
        }
    }
}

std::size_t ReceiverState::satellitesUsed() const
{
    std::size_t count = 0;
    for (const auto& [key, tracked] : m_satellites)
        if (used(key)) ++count;
    return count;
}
