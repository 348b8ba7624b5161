// SPDX-License-Identifier: BSD-2-Clause
#include "binary/ByteReader.h"
#include "binary/UbxMessages.h"

namespace binary {

namespace {

UbxDecoded refuse(UbxProblem problem) { return {std::nullopt, problem}; }

bool validDate(const UbxDate& date)
{
    return date.month >= 1 && date.month <= 12 && date.day >= 1 && date.day <= 31;
}

bool validTime(const UbxTimeOfDay& time)
{
    return time.hour <= 23 && time.minute <= 59 && time.second <= 60 && time.nanosecond > -1000000000
           && time.nanosecond < 1000000000;
}

bool hasPosition(UbxFixType fix)
{
    return fix == UbxFixType::DeadReckoning || fix == UbxFixType::Fix2D || fix == UbxFixType::Fix3D
           || fix == UbxFixType::GnssDeadReckoning;
}

bool hasHeight(UbxFixType fix)
{
    return fix == UbxFixType::Fix3D || fix == UbxFixType::GnssDeadReckoning || fix == UbxFixType::DeadReckoning;
}

UbxHealth health(unsigned bits) { return bits <= 2 ? static_cast<UbxHealth>(bits) : UbxHealth::Unknown; }

std::optional<std::int8_t> elevation(std::int8_t degrees)
{
    if (degrees < -90 || degrees > 90) return std::nullopt;
    return degrees;
}

std::optional<std::int16_t> azimuth(std::int16_t degrees)
{
    if (degrees < 0 || degrees > 360) return std::nullopt;
    return degrees;
}

}  // namespace

// NAV-PVT (0x01 0x07), 92 bytes (84 before protocol 15): iTOW, UTC date and time with their
// validity, tAcc, nano, fixType, flags (gnssFixOK, diffSoln, carrSoln), numSV, lon/lat 1e-7°,
// height/hMSL mm, hAcc/vAcc mm, velN/E/D mm/s, gSpeed mm/s, headMot 1e-5°, sAcc, headAcc,
// pDOP 0.01, flags3 (invalidLlh), headVeh, magDec.
UbxDecoded decodeNavPvt(std::span<const std::uint8_t> payload)
{
    const ByteReader in(payload);
    if (in.size() < 84) return refuse(UbxProblem::TooShort);
    UbxNavPvt pvt;
    pvt.timeOfWeekMs = in.u4(0);
    const std::uint8_t valid = in.u1(11);
    const UbxDate date{in.u2(4), in.u1(6), in.u1(7)};
    const UbxTimeOfDay time{in.u1(8), in.u1(9), in.u1(10), in.i4(16)};
    if ((valid & 0x01) != 0) {
        if (!validDate(date)) return refuse(UbxProblem::OutOfRange);
        pvt.date = date;
    }
    if ((valid & 0x02) != 0) {
        if (!validTime(time)) return refuse(UbxProblem::OutOfRange);
        pvt.time = time;
    }
    pvt.timeFullyResolved = (valid & 0x04) != 0;
    pvt.timeAccuracyNs = in.u4(12);
    const std::uint8_t fix = in.u1(20);
    if (fix > 5) return refuse(UbxProblem::OutOfRange);
    pvt.fixType = static_cast<UbxFixType>(fix);
    const std::uint8_t flags = in.u1(21);
    pvt.gnssFixOk = (flags & 0x01) != 0;
    pvt.differential = (flags & 0x02) != 0;
    const unsigned carrier = flags >> 6;
    if (carrier > 2) return refuse(UbxProblem::OutOfRange);
    pvt.carrier = static_cast<UbxCarrierSolution>(carrier);
    pvt.satellitesUsed = in.u1(23);
    const bool invalidPosition = (in.u2(78) & 0x0001) != 0;
    const double latitude = in.i4(28) * 1e-7;
    const double longitude = in.i4(24) * 1e-7;
    if (hasPosition(pvt.fixType) && !invalidPosition) {
        if (latitude < -90.0 || latitude > 90.0 || longitude < -180.0 || longitude > 180.0)
            return refuse(UbxProblem::OutOfRange);
        pvt.latitudeDeg = latitude;
        pvt.longitudeDeg = longitude;
        if (hasHeight(pvt.fixType)) {
            pvt.heightEllipsoidM = in.i4(32) * 1e-3;
            pvt.heightMslM = in.i4(36) * 1e-3;
        }
    }
    pvt.horizontalAccuracyM = in.u4(40) * 1e-3;
    pvt.verticalAccuracyM = in.u4(44) * 1e-3;
    pvt.velocityNorthMps = in.i4(48) * 1e-3;
    pvt.velocityEastMps = in.i4(52) * 1e-3;
    pvt.velocityDownMps = in.i4(56) * 1e-3;
    pvt.groundSpeedMps = in.i4(60) * 1e-3;
    pvt.headingOfMotionDeg = in.i4(64) * 1e-5;
    pvt.speedAccuracyMps = in.u4(68) * 1e-3;
    pvt.headingAccuracyDeg = in.u4(72) * 1e-5;
    pvt.pdop = in.u2(76) * 0.01;
    if (in.size() >= 92) {
        if ((flags & 0x20) != 0) pvt.headingOfVehicleDeg = in.i4(84) * 1e-5;
        if ((valid & 0x08) != 0) pvt.magneticDeclinationDeg = in.i2(88) * 1e-2;
    }
    return {pvt, UbxProblem::None};
}

// NAV-SAT (0x01 0x35): iTOW, version 1, numSvs, then 12 bytes per satellite: gnssId, svId,
// cno dBHz, elev °, azim °, prRes 0.1 m, flags (qualityInd 0-2, svUsed 3, health 4-5,
// diffCorr 6, ephAvail 11, almAvail 12).
UbxDecoded decodeNavSat(std::span<const std::uint8_t> payload)
{
    const ByteReader in(payload);
    if (in.size() < 8) return refuse(UbxProblem::TooShort);
    if (in.u1(4) != 1) return refuse(UbxProblem::BadVersion);
    const std::size_t count = in.u1(5);
    if (in.size() != 8 + 12 * count) return refuse(UbxProblem::BadLength);
    UbxNavSat sat;
    sat.timeOfWeekMs = in.u4(0);
    sat.satellites.reserve(count);
    for (std::size_t n = 0; n < count; ++n) {
        const std::size_t at = 8 + 12 * n;
        UbxSatellite satellite;
        const std::uint8_t gnss = in.u1(at);
        if (gnss > 7) return refuse(UbxProblem::OutOfRange);
        satellite.gnss = static_cast<UbxGnss>(gnss);
        satellite.svId = in.u1(at + 1);
        satellite.cnoDbHz = in.u1(at + 2);
        satellite.elevationDeg = elevation(in.i1(at + 3));
        satellite.azimuthDeg = azimuth(in.i2(at + 4));
        // Without an elevation the receiver does not know where the satellite is.
        if (!satellite.elevationDeg) satellite.azimuthDeg.reset();
        satellite.pseudorangeResidualM = in.i2(at + 6) * 0.1;
        const std::uint32_t flags = in.u4(at + 8);
        satellite.quality = static_cast<std::uint8_t>(flags & 0x07);
        satellite.used = (flags & 0x08) != 0;
        satellite.health = health(flags >> 4 & 0x03);
        satellite.differential = (flags & 0x40) != 0;
        satellite.ephemeris = (flags & 0x800) != 0;
        satellite.almanac = (flags & 0x1000) != 0;
        sat.satellites.push_back(satellite);
    }
    return {std::move(sat), UbxProblem::None};
}

// NAV-SIG (0x01 0x43): iTOW, version 0, numSigs, then 16 bytes per signal: gnssId, svId,
// sigId, freqId, prRes 0.1 m, cno, qualityInd, corrSource, ionoModel, sigFlags (health 0-1,
// prSmoothed 2, prUsed 3, crUsed 4, doUsed 5).
UbxDecoded decodeNavSig(std::span<const std::uint8_t> payload)
{
    const ByteReader in(payload);
    if (in.size() < 8) return refuse(UbxProblem::TooShort);
    if (in.u1(4) != 0) return refuse(UbxProblem::BadVersion);
    const std::size_t count = in.u1(5);
    if (in.size() != 8 + 16 * count) return refuse(UbxProblem::BadLength);
    UbxNavSig sig;
    sig.timeOfWeekMs = in.u4(0);
    sig.signalList.reserve(count);
    for (std::size_t n = 0; n < count; ++n) {
        const std::size_t at = 8 + 16 * n;
        UbxSignal signal;
        const std::uint8_t gnss = in.u1(at);
        if (gnss > 7) return refuse(UbxProblem::OutOfRange);
        signal.gnss = static_cast<UbxGnss>(gnss);
        signal.svId = in.u1(at + 1);
        signal.sigId = in.u1(at + 2);
        // freqId is the GLONASS frequency slot + 7; other systems send 0.
        if (signal.gnss == UbxGnss::Glonass && in.u1(at + 3) <= 13)
            signal.glonassFrequency = static_cast<std::int8_t>(in.u1(at + 3) - 7);
        signal.pseudorangeResidualM = in.i2(at + 4) * 0.1;
        signal.cnoDbHz = in.u1(at + 6);
        signal.quality = in.u1(at + 7);
        if (signal.quality > 7) return refuse(UbxProblem::OutOfRange);
        signal.correctionSource = in.u1(at + 8);
        signal.ionosphereModel = in.u1(at + 9);
        const std::uint16_t flags = in.u2(at + 10);
        signal.health = health(flags & 0x03);
        signal.pseudorangeSmoothed = (flags & 0x04) != 0;
        signal.pseudorangeUsed = (flags & 0x08) != 0;
        signal.carrierRangeUsed = (flags & 0x10) != 0;
        signal.dopplerUsed = (flags & 0x20) != 0;
        sig.signalList.push_back(signal);
    }
    return {std::move(sig), UbxProblem::None};
}

// NAV-DOP (0x01 0x04), 18 bytes: iTOW, then gDOP pDOP tDOP vDOP hDOP nDOP eDOP in 0.01.
UbxDecoded decodeNavDop(std::span<const std::uint8_t> payload)
{
    const ByteReader in(payload);
    if (in.size() < 18) return refuse(UbxProblem::TooShort);
    UbxNavDop dop;
    dop.timeOfWeekMs = in.u4(0);
    dop.gdop = in.u2(4) * 0.01;
    dop.pdop = in.u2(6) * 0.01;
    dop.tdop = in.u2(8) * 0.01;
    dop.vdop = in.u2(10) * 0.01;
    dop.hdop = in.u2(12) * 0.01;
    dop.ndop = in.u2(14) * 0.01;
    dop.edop = in.u2(16) * 0.01;
    return {dop, UbxProblem::None};
}

// NAV-TIMEUTC (0x01 0x21), 20 bytes: iTOW, tAcc ns, nano, year, month, day, hour, min, sec,
// valid (validTOW 0, validWKN 1, validUTC 2, utcStandard 4-7).
UbxDecoded decodeNavTimeUtc(std::span<const std::uint8_t> payload)
{
    const ByteReader in(payload);
    if (in.size() < 20) return refuse(UbxProblem::TooShort);
    UbxNavTimeUtc utc;
    utc.timeOfWeekMs = in.u4(0);
    utc.timeAccuracyNs = in.u4(4);
    const std::uint8_t valid = in.u1(19);
    utc.timeOfWeekValid = (valid & 0x01) != 0;
    utc.weekValid = (valid & 0x02) != 0;
    utc.utcStandard = static_cast<std::uint8_t>(valid >> 4);
    if ((valid & 0x04) != 0) {
        const UbxDate date{in.u2(12), in.u1(14), in.u1(15)};
        const UbxTimeOfDay time{in.u1(16), in.u1(17), in.u1(18), in.i4(8)};
        if (!validDate(date) || !validTime(time)) return refuse(UbxProblem::OutOfRange);
        utc.date = date;
        utc.time = time;
    }
    return {utc, UbxProblem::None};
}

// NAV-STATUS (0x01 0x03), 16 bytes: iTOW, gpsFix, flags (gpsFixOk 0, diffSoln 1, wknSet 2,
// towSet 3), fixStat (carrSolnValid 1), flags2 (spoofDetState 3-4, carrSoln 6-7), ttff, msss.
UbxDecoded decodeNavStatus(std::span<const std::uint8_t> payload)
{
    const ByteReader in(payload);
    if (in.size() < 16) return refuse(UbxProblem::TooShort);
    UbxNavStatus status;
    status.timeOfWeekMs = in.u4(0);
    const std::uint8_t fix = in.u1(4);
    if (fix > 5) return refuse(UbxProblem::OutOfRange);
    status.fixType = static_cast<UbxFixType>(fix);
    const std::uint8_t flags = in.u1(5);
    status.gnssFixOk = (flags & 0x01) != 0;
    status.differential = (flags & 0x02) != 0;
    status.weekSet = (flags & 0x04) != 0;
    status.timeOfWeekSet = (flags & 0x08) != 0;
    status.carrierSolutionValid = (in.u1(6) & 0x02) != 0;
    const std::uint8_t flags2 = in.u1(7);
    status.spoofing = static_cast<UbxSpoofingState>(flags2 >> 3 & 0x03);
    const unsigned carrier = flags2 >> 6;
    // Firmware without carrier-phase solutions leaves these bits zero.
    status.carrier = carrier <= 2 ? static_cast<UbxCarrierSolution>(carrier) : UbxCarrierSolution::None;
    status.timeToFirstFixMs = in.u4(8);
    status.sinceStartupMs = in.u4(12);
    return {status, UbxProblem::None};
}

// NAV-HPPOSLLH (0x01 0x14), 36 bytes: version, flags (invalidLlh 0), iTOW, lon/lat 1e-7° with
// lonHp/latHp 1e-9°, height/hMSL mm with heightHp/hMSLHp 0.1 mm, hAcc/vAcc 0.1 mm.
UbxDecoded decodeNavHpPosLlh(std::span<const std::uint8_t> payload)
{
    const ByteReader in(payload);
    if (in.size() < 36) return refuse(UbxProblem::TooShort);
    if (in.u1(0) > 1) return refuse(UbxProblem::BadVersion);
    UbxNavHpPosLlh hp;
    hp.timeOfWeekMs = in.u4(4);
    const double longitude = in.i4(8) * 1e-7 + in.i1(24) * 1e-9;
    const double latitude = in.i4(12) * 1e-7 + in.i1(25) * 1e-9;
    if (latitude < -90.0 || latitude > 90.0 || longitude < -180.0 || longitude > 180.0)
        return refuse(UbxProblem::OutOfRange);
    if ((in.u1(3) & 0x01) == 0) {
        hp.latitudeDeg = latitude;
        hp.longitudeDeg = longitude;
        hp.heightEllipsoidM = in.i4(16) * 1e-3 + in.i1(26) * 1e-4;
        hp.heightMslM = in.i4(20) * 1e-3 + in.i1(27) * 1e-4;
    }
    hp.horizontalAccuracyM = in.u4(28) * 1e-4;
    hp.verticalAccuracyM = in.u4(32) * 1e-4;
    return {hp, UbxProblem::None};
}

// NAV-POSECEF (0x01 0x01), 20 bytes: iTOW, ECEF X/Y/Z cm, pAcc cm.
UbxDecoded decodeNavPosEcef(std::span<const std::uint8_t> payload)
{
    const ByteReader in(payload);
    if (in.size() < 20) return refuse(UbxProblem::TooShort);
    return {UbxNavPosEcef{in.u4(0), in.i4(4) * 0.01, in.i4(8) * 0.01, in.i4(12) * 0.01, in.u4(16) * 0.01}, UbxProblem::None};
}

// NAV-VELECEF (0x01 0x11), 20 bytes: iTOW, ECEF velocity X/Y/Z cm/s, sAcc cm/s.
UbxDecoded decodeNavVelEcef(std::span<const std::uint8_t> payload)
{
    const ByteReader in(payload);
    if (in.size() < 20) return refuse(UbxProblem::TooShort);
    return {UbxNavVelEcef{in.u4(0), in.i4(4) * 0.01, in.i4(8) * 0.01, in.i4(12) * 0.01, in.u4(16) * 0.01}, UbxProblem::None};
}

// NAV-TIMELS (0x01 0x26), 24 bytes: iTOW, version 0, currLs @9, lsChange @11,
// timeToLsEvent s @12, valid @23 (validCurrLs 0, validTimeToLsEvent 1).
UbxDecoded decodeNavTimeLs(std::span<const std::uint8_t> payload)
{
    const ByteReader in(payload);
    if (in.size() < 24) return refuse(UbxProblem::TooShort);
    if (in.u1(4) != 0) return refuse(UbxProblem::BadVersion);
    UbxNavTimeLs ls;
    ls.timeOfWeekMs = in.u4(0);
    const std::uint8_t valid = in.u1(23);
    if ((valid & 0x01) != 0) ls.leapSeconds = in.i1(9);
    if ((valid & 0x02) != 0) ls.secondsToChange = in.i4(12);
    ls.change = in.i1(11);
    if (ls.change < -1 || ls.change > 1) return refuse(UbxProblem::OutOfRange);
    return {ls, UbxProblem::None};
}

// NAV-EOE (0x01 0x61), 4 bytes: iTOW of the epoch just ended.
UbxDecoded decodeNavEoe(std::span<const std::uint8_t> payload)
{
    const ByteReader in(payload);
    if (in.size() < 4) return refuse(UbxProblem::TooShort);
    return {UbxNavEoe{in.u4(0)}, UbxProblem::None};
}

// NAV-SBAS (0x01 0x32): iTOW, geo, mode, sys, service, cnt, statusFlags, then 12 bytes per
// satellite: svid, flags, udre, svSys, svService, reserved, prc cm, reserved, ic cm.
UbxDecoded decodeNavSbas(std::span<const std::uint8_t> payload)
{
    const ByteReader in(payload);
    if (in.size() < 12) return refuse(UbxProblem::TooShort);
    const std::size_t count = in.u1(8);
    if (in.size() != 12 + 12 * count) return refuse(UbxProblem::BadLength);
    UbxNavSbas sbas;
    sbas.timeOfWeekMs = in.u4(0);
    sbas.geoSvId = in.u1(4);
    sbas.mode = in.u1(5);
    sbas.system = in.i1(6);
    sbas.services = in.u1(7);
    for (std::size_t n = 0; n < count; ++n) {
        const std::size_t at = 12 + 12 * n;
        sbas.satellites.push_back({in.u1(at), in.u1(at + 1), in.u1(at + 2), in.i1(at + 3), in.u1(at + 4),
                                   in.i2(at + 6) * 0.01, in.i2(at + 10) * 0.01});
    }
    return {std::move(sbas), UbxProblem::None};
}

// NAV-SOL (0x01 0x06), 52 bytes, legacy: iTOW, fTOW ns, week, gpsFix, flags (GPSfixOK 0,
// DiffSoln 1, WKNSET 2), ECEF X/Y/Z cm, pAcc cm, ECEF velocity cm/s, sAcc cm/s, pDOP, numSV.
UbxDecoded decodeNavSol(std::span<const std::uint8_t> payload)
{
    const ByteReader in(payload);
    if (in.size() < 52) return refuse(UbxProblem::TooShort);
    UbxNavSol sol;
    sol.timeOfWeekMs = in.u4(0);
    sol.fractionNs = in.i4(4);
    const std::uint8_t fix = in.u1(10);
    if (fix > 5) return refuse(UbxProblem::OutOfRange);
    sol.fixType = static_cast<UbxFixType>(fix);
    const std::uint8_t flags = in.u1(11);
    sol.gnssFixOk = (flags & 0x01) != 0;
    sol.differential = (flags & 0x02) != 0;
    if ((flags & 0x04) != 0) sol.week = in.i2(8);
    sol.ecefXM = in.i4(12) * 0.01;
    sol.ecefYM = in.i4(16) * 0.01;
    sol.ecefZM = in.i4(20) * 0.01;
    sol.positionAccuracyM = in.u4(24) * 0.01;
    sol.ecefVelocityXMps = in.i4(28) * 0.01;
    sol.ecefVelocityYMps = in.i4(32) * 0.01;
    sol.ecefVelocityZMps = in.i4(36) * 0.01;
    sol.speedAccuracyMps = in.u4(40) * 0.01;
    sol.pdop = in.u2(44) * 0.01;
    sol.satellitesUsed = in.u1(47);
    return {sol, UbxProblem::None};
}

// NAV-POSLLH (0x01 0x02), 28 bytes: iTOW, lon/lat 1e-7°, height/hMSL mm, hAcc/vAcc mm. It has
// no fix flag of its own: NAV-STATUS or NAV-SOL of the same epoch says whether it holds.
UbxDecoded decodeNavPosLlh(std::span<const std::uint8_t> payload)
{
    const ByteReader in(payload);
    if (in.size() < 28) return refuse(UbxProblem::TooShort);
    UbxNavPosLlh pos;
    pos.timeOfWeekMs = in.u4(0);
    pos.longitudeDeg = in.i4(4) * 1e-7;
    pos.latitudeDeg = in.i4(8) * 1e-7;
    if (pos.latitudeDeg < -90.0 || pos.latitudeDeg > 90.0 || pos.longitudeDeg < -180.0 || pos.longitudeDeg > 180.0)
        return refuse(UbxProblem::OutOfRange);
    pos.heightEllipsoidM = in.i4(12) * 1e-3;
    pos.heightMslM = in.i4(16) * 1e-3;
    pos.horizontalAccuracyM = in.u4(20) * 1e-3;
    pos.verticalAccuracyM = in.u4(24) * 1e-3;
    return {pos, UbxProblem::None};
}

// NAV-VELNED (0x01 0x12), 36 bytes: iTOW, velN/E/D cm/s, speed and gSpeed cm/s, heading 1e-5°,
// sAcc cm/s, cAcc 1e-5°.
UbxDecoded decodeNavVelNed(std::span<const std::uint8_t> payload)
{
    const ByteReader in(payload);
    if (in.size() < 36) return refuse(UbxProblem::TooShort);
    UbxNavVelNed vel;
    vel.timeOfWeekMs = in.u4(0);
    vel.velocityNorthMps = in.i4(4) * 0.01;
    vel.velocityEastMps = in.i4(8) * 0.01;
    vel.velocityDownMps = in.i4(12) * 0.01;
    vel.speedMps = in.u4(16) * 0.01;
    vel.groundSpeedMps = in.u4(20) * 0.01;
    vel.headingDeg = in.i4(24) * 1e-5;
    vel.speedAccuracyMps = in.u4(28) * 0.01;
    vel.headingAccuracyDeg = in.u4(32) * 1e-5;
    return {vel, UbxProblem::None};
}

// NAV-TIMEGPS (0x01 0x20), 16 bytes: iTOW, fTOW ns, week, leapS, valid (towValid 0,
// weekValid 1, leapSValid 2), tAcc ns.
UbxDecoded decodeNavTimeGps(std::span<const std::uint8_t> payload)
{
    const ByteReader in(payload);
    if (in.size() < 16) return refuse(UbxProblem::TooShort);
    UbxNavTimeGps gps;
    gps.timeOfWeekMs = in.u4(0);
    gps.fractionNs = in.i4(4);
    const std::uint8_t valid = in.u1(11);
    gps.timeOfWeekValid = (valid & 0x01) != 0;
    if ((valid & 0x02) != 0) gps.week = in.i2(8);
    if ((valid & 0x04) != 0) gps.leapSeconds = in.i1(10);
    gps.timeAccuracyNs = in.u4(12);
    return {gps, UbxProblem::None};
}

// NAV-SVINFO (0x01 0x30), legacy: iTOW, numCh, globalFlags (chipGen 0-2), then 12 bytes per
// channel: chn, svid, flags (svUsed 0, diffCorr 1, orbitAvail 2, orbitEph 3, unhealthy 4),
// quality, cno, elev, azim, prRes cm.
UbxDecoded decodeNavSvInfo(std::span<const std::uint8_t> payload)
{
    const ByteReader in(payload);
    if (in.size() < 8) return refuse(UbxProblem::TooShort);
    const std::size_t count = in.u1(4);
    if (in.size() != 8 + 12 * count) return refuse(UbxProblem::BadLength);
    UbxNavSvInfo info;
    info.timeOfWeekMs = in.u4(0);
    info.chipGeneration = static_cast<std::uint8_t>(in.u1(5) & 0x07);
    info.channels.reserve(count);
    for (std::size_t n = 0; n < count; ++n) {
        const std::size_t at = 8 + 12 * n;
        UbxSvInfoChannel channel;
        channel.channel = in.u1(at);
        channel.svId = in.u1(at + 1);
        const std::uint8_t flags = in.u1(at + 2);
        channel.used = (flags & 0x01) != 0;
        channel.differential = (flags & 0x02) != 0;
        channel.orbitAvailable = (flags & 0x04) != 0;
        channel.ephemeris = (flags & 0x08) != 0;
        channel.unhealthy = (flags & 0x10) != 0;
        channel.quality = static_cast<std::uint8_t>(in.u1(at + 3) & 0x0F);
        channel.cnoDbHz = in.u1(at + 4);
        channel.elevationDeg = elevation(in.i1(at + 5));
        channel.azimuthDeg = azimuth(in.i2(at + 6));
        if (!channel.orbitAvailable) {
            channel.elevationDeg.reset();
            channel.azimuthDeg.reset();
        }
        channel.pseudorangeResidualM = in.i4(at + 8) * 0.01;
        info.channels.push_back(channel);
    }
    return {std::move(info), UbxProblem::None};
}

}  // namespace binary
