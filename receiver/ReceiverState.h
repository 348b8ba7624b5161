// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "binary/UbxRecords.h"
#include "nmea/Constellation.h"
#include "nmea/Sentences.h"

// Who the receiver is and how its signal fares, from its binary monitor messages. Every field
// is empty until the receiver says it: "unknown" is not "fine".
struct ReceiverHealth {
    std::optional<std::string> model;            // "ZED-F9P"
    std::optional<std::string> firmware;         // "HPG 1.32"
    std::optional<std::string> software;         // "EXT CORE 1.00 (...)"
    std::optional<std::string> hardware;         // "00190000"
    std::optional<std::string> protocolVersion;  // "27.31"
    std::vector<std::string> extensions;         // what MON-VER listed, as listed
    std::optional<binary::UbxJammingState> jamming;
    std::optional<int> jamIndicator;             // 0..255
    std::optional<int> agcCount;                 // 0..8191
    std::optional<int> noisePerMs;
    std::optional<binary::UbxAntennaStatus> antenna;
    std::optional<binary::UbxAntennaPower> antennaPower;
    std::optional<binary::UbxSpoofingState> spoofing;
    bool operator==(const ReceiverHealth&) const = default;
};

// The receiver's picture of the world, folded from decoded sentences: time, position, fix,
// motion, altitude, DOPs and the satellites in view of every constellation.
//
// apply() says what changed, so that a window redraws only what it must and a text report
// is written only when its content moved. A value a sentence left out keeps what an earlier
// sentence of the same epoch said; a sentence with a new time of day begins a new epoch, in
// which position, speed and course are unknown until one of its sentences supplies them. Times are seconds of a monotonic clock (platform::Clock); only differences
// matter. Not thread-safe: one owner folds and reads.
class ReceiverState {
public:
    enum Change : std::uint32_t {
        kTime = 1u << 0,
        kDate = 1u << 1,
        kPosition = 1u << 2,
        kFix = 1u << 3,
        kSpeed = 1u << 4,
        kCourse = 1u << 5,
        kAltitude = 1u << 6,
        kDop = 1u << 7,
        kSatellites = 1u << 8,  // a GSV cycle ended, or satellites were dropped
        kUsed = 1u << 9,        // the used-in-fix sets moved
        kHeading = 1u << 10,
        kHealth = 1u << 11,     // identity, jamming, antenna or spoofing moved
    };
    using Changes = std::uint32_t;

    // A satellite not reported for this long is dropped.
    static constexpr double kSatelliteLifetimeSeconds = 10.0;

    Changes apply(const SentenceRecord& record, double nowSeconds);
    Changes apply(const GGA& gga, double nowSeconds);
    Changes apply(const RMC& rmc, double nowSeconds);
    Changes apply(const GLL& gll, double nowSeconds);
    Changes apply(const VTG& vtg, double nowSeconds);
    Changes apply(const GSA& gsa, double nowSeconds);
    Changes apply(const GSV& gsv, double nowSeconds);
    Changes apply(const GNS& gns, double nowSeconds);
    Changes apply(const ZDA& zda, double nowSeconds);
    Changes apply(const HDT& hdt, double nowSeconds);
    // A decoded UBX message. When the receiver speaks both UBX and NMEA, one source wins per
    // field, from the first UBX message of its kind on: NAV-PVT owns time, date, position,
    // fix, motion and heights (GGA, RMC, GLL, GNS, VTG and ZDA are then left alone); NAV-SAT
    // owns the satellites, their places and their used flags (GSV and GSA left alone); NAV-SIG
    // owns the signals of the satellites listed otherwise (the signal ids of GSV left alone);
    // NAV-DOP owns the DOPs. The binary messages carry full precision and their own validity
    // flags, where the NMEA sentences of the same receiver are rounded copies. Used counts
    // count satellites, never signals.
    Changes apply(const binary::UbxRecord& record, double nowSeconds);
    // False for a sentence whose fields a UBX message owns now (see above).
    bool takesFromNmea(const SentenceRecord& record) const;
    // Drops satellites not reported for kSatelliteLifetimeSeconds.
    Changes expire(double nowSeconds);
    // Forgets everything (a new connection).
    void reset() { *this = ReceiverState(); }

    const std::optional<UtcTime>& time() const { return m_time; }
    const std::optional<UtcDate>& date() const { return m_date; }
    const std::optional<GeoPosition>& position() const { return m_position; }
    // Fix quality of GGA (0 none, 1 GPS, 2 DGPS ...), nothing before the first GGA.
    std::optional<std::int32_t> fixQuality() const { return m_fixQuality; }
    // GSA fix type: 1 none, 2 2D, 3 3D; nothing before the first GSA that had one.
    std::optional<std::int32_t> fixType() const { return m_fixType; }
    // gpsd's mode: 0 unknown, 1 no fix, 2 2D, 3 3D — from GSA where one came, else from
    // what GGA, GNS and RMC said.
    std::int32_t mode() const;
    const std::optional<float>& speedKnots() const { return m_speedKnots; }
    const std::optional<float>& courseDegrees() const { return m_courseDegrees; }
    const std::optional<float>& headingDegrees() const { return m_headingDegrees; }
    const std::optional<float>& altitudeMeters() const { return m_altitudeMeters; }
    const std::optional<float>& pdop() const { return m_pdop; }
    const std::optional<float>& hdop() const { return m_hdop; }
    const std::optional<float>& vdop() const { return m_vdop; }
    // gpsd's TPV status: 2 differential, 3 RTK fixed, 4 RTK float, 7 time only (a timing
    // receiver on its surveyed position); nothing for a plain fix.
    std::optional<std::int32_t> status() const;
    // Height above the ellipsoid, metres; from UBX only.
    const std::optional<double>& altitudeEllipsoidMeters() const { return m_altitudeEllipsoid; }
    // The receiver's estimated horizontal and vertical errors, metres; from UBX only.
    const std::optional<double>& horizontalErrorMeters() const { return m_horizontalError; }
    const std::optional<double>& verticalErrorMeters() const { return m_verticalError; }
    const ReceiverHealth& health() const { return m_health; }
    // Age of the differential corrections (seconds) and the reference station's id, as the
    // last GGA gave them; nothing without corrections.
    const std::optional<float>& dgpsAgeSeconds() const { return m_dgpsAge; }
    const std::optional<std::int32_t>& dgpsStation() const { return m_dgpsStation; }
    // Height of the geoid above the ellipsoid, metres, as GGA gives it.
    const std::optional<float>& geoidSeparationMeters() const { return m_geoidSeparation; }
    // Whether UBX navigation (NAV-PVT) or sky (NAV-SAT) messages have been seen.
    bool ubxNavigation() const { return m_ubxNavigation; }

    // Every satellite in view, by constellation, then in the order the receiver lists them.
    std::vector<SatelliteInView> satellites() const;
    // satellites() into a vector kept by the caller, whose memory is used again: for the
    // reports written every cycle. Without signals, each signal list is left empty (the
    // strongest signal is still in snrDbHz): the receiver test needs no more.
    void satellitesInto(std::vector<SatelliteInView>& into, bool withSignals = true) const;
    std::size_t satellitesInView() const { return m_satellites.size(); }
    std::size_t satellitesUsed() const;

private:
    using Key = std::pair<Constellation, std::int32_t>;
    // One GSV stream: a talker's system (or none for GN) and signal id.
    using Group = std::uint16_t;
    struct Report {
        Group group;
        std::optional<std::int32_t> snrDbHz;
        std::optional<std::int32_t> sigId;  // the signal of an NMEA 4.10 stream, where known
    };
    struct Tracked {
        std::optional<std::int32_t> elevationDegrees;
        std::optional<std::int32_t> azimuthDegrees;
        std::vector<Report> reports;
        std::optional<std::int32_t> health;   // 1 healthy, 2 unhealthy (UBX)
        std::optional<std::int32_t> quality;  // 0..7 (UBX)
        std::uint32_t order = 0;  // place in the last GSV cycle that listed it
        double lastSeen = 0.0;
    };
    struct Cycle {
        bool started = false;  // its first sentence came
        std::vector<Key> seen;
    };

    Changes takePosition(const std::optional<GeoPosition>& position);
    Changes takeTime(const std::optional<UtcTime>& time);
    Changes takeAltitude(const std::optional<float>& altitude);
    Changes setUsed(Constellation system, std::vector<std::int32_t> svids);
    Changes applyUbx(const binary::UbxNavPvt& pvt, double nowSeconds);
    Changes applyUbx(const binary::UbxNavSat& sat, double nowSeconds);
    Changes applyUbx(const binary::UbxNavSig& sig, double nowSeconds);
    Changes applyUbx(const binary::UbxNavDop& dop);
    Changes applyUbx(const binary::UbxMonVer& ver);
    Changes applyUbx(const binary::UbxMonHw& hw);
    Changes applyUbx(const binary::UbxMonRf& rf);
    Changes applyUbx(const binary::UbxNavStatus& status);
    // Receivers of generation 8 and older without NAV-PVT: the same facts in pieces.
    Changes applyUbx(const binary::UbxNavPosLlh& position);
    Changes applyUbx(const binary::UbxNavVelNed& velocity);
    Changes applyUbx(const binary::UbxNavTimeUtc& time);
    // The fix of NAV-PVT or NAV-STATUS into mode, quality, carrier solution and validity; true
    // with a fix. timeOnlyIsFix: a timing receiver's "time only" counts as a 3D fix.
    bool takeUbxFix(binary::UbxFixType type, bool fixOk, bool differential,
                    binary::UbxCarrierSolution carrier, bool timeOnlyIsFix, Changes& changes);
    Changes takeUbxTime(const binary::UbxTimeOfDay& time, const std::optional<binary::UbxDate>& date);
    bool used(const Key& key) const;
    // The signals of one satellite: NAV-SIG's where it came, else those of the GSV streams.
    void signalsOf(const Key& key, const Tracked& tracked, bool usedInFix, std::vector<SignalInView>& into) const;
    void seen(Tracked& tracked, double nowSeconds);

    std::optional<UtcTime> m_time;
    std::optional<UtcDate> m_date;
    std::optional<GeoPosition> m_position;
    std::optional<std::int32_t> m_fixQuality;
    std::optional<std::int32_t> m_fixType;
    bool m_positionValid = false;  // the last position sentence carried a valid fix
    bool m_positioned = false;     // a position was ever taken
    std::optional<float> m_speedKnots;
    std::optional<float> m_courseDegrees;
    std::optional<float> m_headingDegrees;
    std::optional<float> m_altitudeMeters;
    std::optional<float> m_pdop, m_hdop, m_vdop;
    std::map<Key, Tracked> m_satellites;
    // No satellite can expire before this time (the oldest lastSeen plus the lifetime), so
    // expire(), called for every sentence, walks the satellites only when one may be due.
    double m_nextExpiry = std::numeric_limits<double>::infinity();
    std::map<Group, Cycle> m_cycles;
    std::map<Constellation, std::vector<std::int32_t>> m_used;  // sorted svids
    std::map<Key, std::vector<SignalInView>> m_ubxSignals;     // the last NAV-SIG
    double m_ubxSignalsSeen = 0.0;
    std::optional<std::int32_t> m_carrierSolution;  // UBX: 1 float, 2 fixed
    bool m_differential = false;                    // UBX: a differential solution
    std::optional<double> m_altitudeEllipsoid;
    std::optional<double> m_horizontalError, m_verticalError;
    ReceiverHealth m_health;
    std::optional<float> m_dgpsAge;
    std::optional<std::int32_t> m_dgpsStation;
    std::optional<float> m_geoidSeparation;
    bool m_ubxNavigation = false, m_ubxSky = false, m_ubxDop = false;
    bool m_ubxPvt = false;       // NAV-PVT seen: the legacy messages are left alone
    bool m_timeOnly = false;     // a timing receiver on its surveyed position
};
