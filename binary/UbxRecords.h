// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

// Typed records of the UBX messages the program reads. Plain values, units in the names; an
// empty optional means the receiver said it does not know the value.
namespace binary {

// UBX numbering of systems (gnssId).
enum class UbxGnss : std::uint8_t { Gps = 0, Sbas = 1, Galileo = 2, BeiDou = 3, Imes = 4, Qzss = 5, Glonass = 6, NavIC = 7 };

enum class UbxFixType : std::uint8_t {
    NoFix = 0,
    DeadReckoning = 1,
    Fix2D = 2,
    Fix3D = 3,
    GnssDeadReckoning = 4,
    TimeOnly = 5,
};

enum class UbxCarrierSolution : std::uint8_t { None = 0, Float = 1, Fixed = 2 };

enum class UbxHealth : std::uint8_t { Unknown = 0, Healthy = 1, Unhealthy = 2 };

enum class UbxJammingState : std::uint8_t { Unknown = 0, Ok = 1, Warning = 2, Critical = 3 };

enum class UbxAntennaStatus : std::uint8_t { Init = 0, DontKnow = 1, Ok = 2, Short = 3, Open = 4 };

enum class UbxAntennaPower : std::uint8_t { Off = 0, On = 1, DontKnow = 2 };

// NAV-STATUS spoofDetState; Unknown also when the firmware has no detector or it is off.
enum class UbxSpoofingState : std::uint8_t { Unknown = 0, None = 1, Indicated = 2, Multiple = 3 };

struct UbxDate {
    std::uint16_t year = 0;
    std::uint8_t month = 0;  // 1..12
    std::uint8_t day = 0;    // 1..31
    bool operator==(const UbxDate&) const = default;
};

struct UbxTimeOfDay {
    std::uint8_t hour = 0;
    std::uint8_t minute = 0;
    std::uint8_t second = 0;     // 0..60
    std::int32_t nanosecond = 0; // may be negative: the fraction is added to the rounded second
    bool operator==(const UbxTimeOfDay&) const = default;
};

// NAV-PVT: the navigation solution of one epoch.
struct UbxNavPvt {
    std::uint32_t timeOfWeekMs = 0;
    std::optional<UbxDate> date;         // only when the receiver marks it valid
    std::optional<UbxTimeOfDay> time;    // UTC; only when valid
    bool timeFullyResolved = false;
    std::uint32_t timeAccuracyNs = 0;
    UbxFixType fixType = UbxFixType::NoFix;
    bool gnssFixOk = false;
    bool differential = false;
    UbxCarrierSolution carrier = UbxCarrierSolution::None;
    std::uint8_t satellitesUsed = 0;
    // Position only with a fix and without the invalid-position flag; heights only in 3D.
    std::optional<double> latitudeDeg;
    std::optional<double> longitudeDeg;
    std::optional<double> heightEllipsoidM;
    std::optional<double> heightMslM;
    double horizontalAccuracyM = 0.0;
    double verticalAccuracyM = 0.0;
    double velocityNorthMps = 0.0;
    double velocityEastMps = 0.0;
    double velocityDownMps = 0.0;
    double groundSpeedMps = 0.0;
    double headingOfMotionDeg = 0.0;
    double speedAccuracyMps = 0.0;
    double headingAccuracyDeg = 0.0;
    double pdop = 0.0;
    std::optional<double> headingOfVehicleDeg;       // only when marked valid
    std::optional<double> magneticDeclinationDeg;    // only when marked valid
    bool operator==(const UbxNavPvt&) const = default;
};

// One satellite of NAV-SAT.
struct UbxSatellite {
    UbxGnss gnss = UbxGnss::Gps;
    std::uint8_t svId = 0;
    std::uint8_t cnoDbHz = 0;                  // 0: not tracked
    std::optional<std::int8_t> elevationDeg;   // -90..90 when known
    std::optional<std::int16_t> azimuthDeg;    // 0..360 when known
    double pseudorangeResidualM = 0.0;
    std::uint8_t quality = 0;                  // qualityInd 0..7
    bool used = false;
    UbxHealth health = UbxHealth::Unknown;
    bool differential = false;
    bool ephemeris = false;
    bool almanac = false;
    bool operator==(const UbxSatellite&) const = default;
};

struct UbxNavSat {
    std::uint32_t timeOfWeekMs = 0;
    std::vector<UbxSatellite> satellites;
    bool operator==(const UbxNavSat&) const = default;
};

// One signal of NAV-SIG.
struct UbxSignal {
    UbxGnss gnss = UbxGnss::Gps;
    std::uint8_t svId = 0;
    std::uint8_t sigId = 0;
    std::optional<std::int8_t> glonassFrequency;  // -7..6, GLONASS only
    std::uint8_t cnoDbHz = 0;
    double pseudorangeResidualM = 0.0;
    std::uint8_t quality = 0;
    std::uint8_t correctionSource = 0;
    std::uint8_t ionosphereModel = 0;
    UbxHealth health = UbxHealth::Unknown;
    bool pseudorangeSmoothed = false;
    bool pseudorangeUsed = false;
    bool carrierRangeUsed = false;
    bool dopplerUsed = false;
    bool operator==(const UbxSignal&) const = default;
};

struct UbxNavSig {
    std::uint32_t timeOfWeekMs = 0;
    std::vector<UbxSignal> signalList;  // not "signals": a macro wherever Qt is included
    bool operator==(const UbxNavSig&) const = default;
};

struct UbxNavDop {
    std::uint32_t timeOfWeekMs = 0;
    double gdop = 0, pdop = 0, tdop = 0, vdop = 0, hdop = 0, ndop = 0, edop = 0;
    bool operator==(const UbxNavDop&) const = default;
};

struct UbxNavTimeUtc {
    std::uint32_t timeOfWeekMs = 0;
    std::uint32_t timeAccuracyNs = 0;
    std::optional<UbxDate> date;       // only with a valid UTC
    std::optional<UbxTimeOfDay> time;  // only with a valid UTC
    bool timeOfWeekValid = false;
    bool weekValid = false;
    std::uint8_t utcStandard = 0;
    bool operator==(const UbxNavTimeUtc&) const = default;
};

struct UbxNavStatus {
    std::uint32_t timeOfWeekMs = 0;
    UbxFixType fixType = UbxFixType::NoFix;
    bool gnssFixOk = false;
    bool differential = false;
    bool weekSet = false;
    bool timeOfWeekSet = false;
    bool carrierSolutionValid = false;
    UbxCarrierSolution carrier = UbxCarrierSolution::None;
    UbxSpoofingState spoofing = UbxSpoofingState::Unknown;
    std::uint32_t timeToFirstFixMs = 0;
    std::uint32_t sinceStartupMs = 0;
    bool operator==(const UbxNavStatus&) const = default;
};

struct UbxNavHpPosLlh {
    std::uint32_t timeOfWeekMs = 0;
    std::optional<double> latitudeDeg;   // absent when marked invalid
    std::optional<double> longitudeDeg;
    std::optional<double> heightEllipsoidM;
    std::optional<double> heightMslM;
    double horizontalAccuracyM = 0.0;
    double verticalAccuracyM = 0.0;
    bool operator==(const UbxNavHpPosLlh&) const = default;
};

// NAV-POSECEF and NAV-VELECEF: the solution in Earth-centred coordinates.
struct UbxNavPosEcef {
    std::uint32_t timeOfWeekMs = 0;
    double ecefXM = 0, ecefYM = 0, ecefZM = 0;  // cm resolution
    double positionAccuracyM = 0;
    bool operator==(const UbxNavPosEcef&) const = default;
};

struct UbxNavVelEcef {
    std::uint32_t timeOfWeekMs = 0;
    double ecefVelocityXMps = 0, ecefVelocityYMps = 0, ecefVelocityZMps = 0;
    double speedAccuracyMps = 0;
    bool operator==(const UbxNavVelEcef&) const = default;
};

// NAV-SBAS: the SBAS satellite in use and the corrections it gives for each satellite.
struct UbxSbasCorrection {
    std::uint8_t svId = 0;           // legacy single numbering
    std::uint8_t flags = 0;
    std::uint8_t udre = 0;           // user differential range error index
    std::int8_t system = -1;         // -1 unknown, 0 WAAS, 1 EGNOS, 2 MSAS, 3 GAGAN, 16 GPS
    std::uint8_t services = 0;
    double pseudorangeCorrectionM = 0.0;
    double ionosphereCorrectionM = 0.0;
    bool operator==(const UbxSbasCorrection&) const = default;
};

struct UbxNavSbas {
    std::uint32_t timeOfWeekMs = 0;
    std::uint8_t geoSvId = 0;  // the SBAS satellite used, 0 none
    std::uint8_t mode = 0;     // 0 disabled, 1 enabled, 3 enabled in test mode
    std::int8_t system = -1;
    std::uint8_t services = 0; // ranging 0, corrections 1, integrity 2, test mode 3
    std::vector<UbxSbasCorrection> satellites;
    bool operator==(const UbxNavSbas&) const = default;
};

// NAV-TIMELS: GPS-UTC leap seconds, and the next change when announced.
struct UbxNavTimeLs {
    std::uint32_t timeOfWeekMs = 0;
    std::optional<std::int8_t> leapSeconds;          // only when marked valid
    std::optional<std::int32_t> secondsToChange;     // only when marked valid
    std::int8_t change = 0;                          // -1, 0, +1
    bool operator==(const UbxNavTimeLs&) const = default;
};

// NAV-EOE: every navigation message of the epoch has been sent.
struct UbxNavEoe {
    std::uint32_t timeOfWeekMs = 0;
    bool operator==(const UbxNavEoe&) const = default;
};

// Legacy (generation 8 and older) navigation messages.
struct UbxNavSol {
    std::uint32_t timeOfWeekMs = 0;
    std::int32_t fractionNs = 0;
    std::optional<std::int16_t> week;  // when marked set
    UbxFixType fixType = UbxFixType::NoFix;
    bool gnssFixOk = false;
    bool differential = false;
    double ecefXM = 0, ecefYM = 0, ecefZM = 0;
    double positionAccuracyM = 0;
    double ecefVelocityXMps = 0, ecefVelocityYMps = 0, ecefVelocityZMps = 0;
    double speedAccuracyMps = 0;
    double pdop = 0;
    std::uint8_t satellitesUsed = 0;
    bool operator==(const UbxNavSol&) const = default;
};

struct UbxNavPosLlh {
    std::uint32_t timeOfWeekMs = 0;
    double latitudeDeg = 0, longitudeDeg = 0;
    double heightEllipsoidM = 0, heightMslM = 0;
    double horizontalAccuracyM = 0, verticalAccuracyM = 0;
    bool operator==(const UbxNavPosLlh&) const = default;
};

struct UbxNavVelNed {
    std::uint32_t timeOfWeekMs = 0;
    double velocityNorthMps = 0, velocityEastMps = 0, velocityDownMps = 0;
    double speedMps = 0, groundSpeedMps = 0;
    double headingDeg = 0;
    double speedAccuracyMps = 0, headingAccuracyDeg = 0;
    bool operator==(const UbxNavVelNed&) const = default;
};

struct UbxNavTimeGps {
    std::uint32_t timeOfWeekMs = 0;
    std::int32_t fractionNs = 0;
    std::optional<std::int16_t> week;
    std::optional<std::int8_t> leapSeconds;
    bool timeOfWeekValid = false;
    std::uint32_t timeAccuracyNs = 0;
    bool operator==(const UbxNavTimeGps&) const = default;
};

// One channel of NAV-SVINFO. svId in the legacy single numbering (GPS 1-32, SBAS 120-158,
// Galileo 211-246, BeiDou 33-64 and 159-163, QZSS 193-202, GLONASS 65-96, 255 unknown).
struct UbxSvInfoChannel {
    std::uint8_t channel = 0;
    std::uint8_t svId = 0;
    bool used = false;
    bool differential = false;
    bool orbitAvailable = false;
    bool ephemeris = false;
    bool unhealthy = false;
    std::uint8_t quality = 0;
    std::uint8_t cnoDbHz = 0;
    std::optional<std::int8_t> elevationDeg;
    std::optional<std::int16_t> azimuthDeg;
    double pseudorangeResidualM = 0.0;
    bool operator==(const UbxSvInfoChannel&) const = default;
};

struct UbxNavSvInfo {
    std::uint32_t timeOfWeekMs = 0;
    std::uint8_t chipGeneration = 0;
    std::vector<UbxSvInfoChannel> channels;
    bool operator==(const UbxNavSvInfo&) const = default;
};

// MON-VER: who the receiver is.
struct UbxMonVer {
    std::string software;
    std::string hardware;
    std::vector<std::string> extensions;  // "PROTVER=27.12", "MOD=ZED-F9P", "GPS;GLO;GAL;BDS", ...
    bool operator==(const UbxMonVer&) const = default;

    // Values of extension fields, empty when the receiver does not say.
    std::string protocolVersion() const;  // "27.12"
    std::string module() const;           // "ZED-F9P"
    std::string firmware() const;         // "HPG 1.32"
};

struct UbxRfBlock {
    std::uint8_t blockId = 0;
    UbxJammingState jamming = UbxJammingState::Unknown;
    UbxAntennaStatus antennaStatus = UbxAntennaStatus::DontKnow;
    UbxAntennaPower antennaPower = UbxAntennaPower::DontKnow;
    std::uint32_t postStatus = 0;
    std::uint16_t noisePerMs = 0;
    std::uint16_t agcCount = 0;     // 0..8191
    std::uint8_t jamIndicator = 0;  // 0 (no interference) .. 255
    std::int8_t offsetI = 0;
    std::uint8_t magnitudeI = 0;
    std::int8_t offsetQ = 0;
    std::uint8_t magnitudeQ = 0;
    bool operator==(const UbxRfBlock&) const = default;
};

struct UbxMonRf {
    std::vector<UbxRfBlock> blocks;
    bool operator==(const UbxMonRf&) const = default;
};

struct UbxMonHw {
    std::uint16_t noisePerMs = 0;
    std::uint16_t agcCount = 0;
    UbxAntennaStatus antennaStatus = UbxAntennaStatus::DontKnow;
    UbxAntennaPower antennaPower = UbxAntennaPower::DontKnow;
    UbxJammingState jamming = UbxJammingState::Unknown;
    std::uint8_t jamIndicator = 0;
    bool rtcCalibrated = false;
    bool safeBoot = false;
    bool crystalAbsent = false;
    bool operator==(const UbxMonHw&) const = default;
};

// ACK-ACK / ACK-NAK: the answer to a configuration message.
struct UbxAck {
    bool accepted = false;
    std::uint8_t messageClass = 0;
    std::uint8_t messageId = 0;
    bool operator==(const UbxAck&) const = default;
};

// RXM-RTCM: an RTCM3 message the receiver got on an input.
struct UbxRxmRtcm {
    bool crcFailed = false;
    std::uint8_t usage = 0;  // 0 unknown, 1 not used, 2 used
    std::uint16_t subType = 0;
    std::uint16_t referenceStation = 0;
    std::uint16_t messageType = 0;
    bool operator==(const UbxRxmRtcm&) const = default;
};

// INF-ERROR/WARNING/NOTICE/TEST/DEBUG: text from the firmware (the level is the frame's id:
// 0 error, 1 warning, 2 notice, 3 test, 4 debug).
struct UbxInfText {
    std::string text;  // printable ASCII; other bytes as '.'
    bool operator==(const UbxInfText&) const = default;
};

using UbxRecord = std::variant<UbxNavPvt, UbxNavSat, UbxNavSig, UbxNavDop, UbxNavTimeUtc, UbxNavStatus,
                               UbxNavHpPosLlh, UbxNavPosEcef, UbxNavVelEcef, UbxNavTimeLs, UbxNavEoe, UbxNavSbas, UbxNavSol, UbxNavPosLlh, UbxNavVelNed, UbxNavTimeGps,
                               UbxNavSvInfo, UbxMonVer, UbxMonRf, UbxMonHw, UbxAck, UbxRxmRtcm, UbxInfText>;

}  // namespace binary
