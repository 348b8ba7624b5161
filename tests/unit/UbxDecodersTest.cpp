// SPDX-License-Identifier: BSD-2-Clause
#include "binary/UbxMessages.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <fstream>
#include <string>

#include "binary/ByteReader.h"
#include "binary/Rtcm3.h"
#include "binary/UbxConfigKeys.h"
#include "binary/UbxFrame.h"
#include "binary/UbxSignals.h"
#include "fakes/TestData.h"
#include "unit/RecordedFrames.h"

using namespace binary;

namespace {

std::vector<nlohmann::json> reports(const std::filesystem::path& chk, std::string_view reportClass)
{
    std::vector<nlohmann::json> out;
    std::ifstream file(chk);
    for (std::string line; std::getline(file, line);) {
        if (line.empty() || line[0] != '{') continue;
        nlohmann::json report = nlohmann::json::parse(line, nullptr, false);
        if (!report.is_discarded() && report.value("class", "") == reportClass) out.push_back(std::move(report));
    }
    return out;
}

template <typename Record>
std::vector<Record> decodedOf(const std::vector<Frame>& frames, std::uint8_t messageClass, std::uint8_t messageId)
{
    std::vector<Record> out;
    for (const Frame& frame : frames) {
        if (frame.kind != FrameKind::Ubx || frame.ubxClass != messageClass || frame.ubxId != messageId) continue;
        const UbxDecoded decoded = decodeUbx(frame.ubxClass, frame.ubxId, frame.payload());
        EXPECT_TRUE(decoded.record) << ubxProblemKey(decoded.problem);
        if (decoded.record) out.push_back(std::get<Record>(*decoded.record));
    }
    return out;
}

double secondsOfDay(const UbxTimeOfDay& time)
{
    return time.hour * 3600.0 + time.minute * 60.0 + time.second + time.nanosecond * 1e-9;
}

double secondsOfDay(const std::string& iso)  // "2022-10-11T11:04:25.000Z"
{
    return std::stoi(iso.substr(11, 2)) * 3600.0 + std::stoi(iso.substr(14, 2)) * 60.0 + std::stod(iso.substr(17, 6));
}

// Little-endian payload written field by field, for hand-made messages.
struct Payload {
    std::vector<std::uint8_t> bytes;
    Payload& put(std::uint64_t value, std::size_t width)
    {
        putLittleEndian(bytes, value, width);
        return *this;
    }
    Payload& zeros(std::size_t count)
    {
        bytes.resize(bytes.size() + count, 0);
        return *this;
    }
};

}  // namespace

// gpsd decodes the same NAV-PVT messages: position, heights, accuracies and fix status must
// agree with its TPV reports of the same epoch.
TEST(UbxDecodersTest, NavPvtOfRtkLogAgreesWithGpsd)
{
    REQUIRE_TESTDATA(data);
    const auto frames = recorded::frames(recorded::stream(data / "ubx/ublox-zed-f9p-rtk.log"));
    const auto pvts = decodedOf<UbxNavPvt>(frames, 0x01, 0x07);
    ASSERT_EQ(pvts.size(), 10u);
    const auto tpvs = reports(data / "ubx/ublox-zed-f9p-rtk.log.chk", "TPV");
    ASSERT_FALSE(tpvs.empty());
    std::size_t compared = 0;
    for (const nlohmann::json& tpv : tpvs) {
        const std::string time = tpv.at("time");
        SCOPED_TRACE(time);
        const UbxNavPvt* match = nullptr;
        for (const UbxNavPvt& pvt : pvts)
            if (pvt.time && std::abs(secondsOfDay(*pvt.time) - secondsOfDay(time)) < 0.01) match = &pvt;
        ASSERT_NE(match, nullptr);
        ASSERT_TRUE(match->latitudeDeg && match->longitudeDeg);
        EXPECT_NEAR(*match->latitudeDeg, tpv.at("lat").get<double>(), 1e-7);
        EXPECT_NEAR(*match->longitudeDeg, tpv.at("lon").get<double>(), 1e-7);
        EXPECT_NEAR(*match->heightEllipsoidM, tpv.at("altHAE").get<double>(), 1e-3);
        EXPECT_NEAR(*match->heightMslM, tpv.at("altMSL").get<double>(), 1e-3);
        EXPECT_NEAR(match->horizontalAccuracyM, tpv.at("eph").get<double>(), 1e-3);
        EXPECT_NEAR(match->verticalAccuracyM, tpv.at("epv").get<double>(), 1e-3);
        EXPECT_NEAR(match->groundSpeedMps, tpv.at("speed").get<double>(), 1e-3);
        EXPECT_EQ(match->fixType, UbxFixType::Fix3D);
        EXPECT_EQ(tpv.at("mode").get<int>(), 3);
        // gpsd status 4 is an RTK float solution.
        EXPECT_EQ(tpv.at("status").get<int>(), 4);
        EXPECT_EQ(match->carrier, UbxCarrierSolution::Float);
        EXPECT_TRUE(match->gnssFixOk && match->differential);
        ++compared;

        // The same epoch's ECEF solution and leap seconds.
        for (const UbxNavPosEcef& ecef : decodedOf<UbxNavPosEcef>(frames, 0x01, 0x01)) {
            if (ecef.timeOfWeekMs != match->timeOfWeekMs) continue;
            EXPECT_NEAR(ecef.ecefXM, tpv.at("ecefx").get<double>(), 1e-3);
            EXPECT_NEAR(ecef.ecefYM, tpv.at("ecefy").get<double>(), 1e-3);
            EXPECT_NEAR(ecef.ecefZM, tpv.at("ecefz").get<double>(), 1e-3);
            EXPECT_NEAR(ecef.positionAccuracyM, tpv.at("ecefpAcc").get<double>(), 1e-3);
        }
        for (const UbxNavVelEcef& velocity : decodedOf<UbxNavVelEcef>(frames, 0x01, 0x11)) {
            if (velocity.timeOfWeekMs != match->timeOfWeekMs) continue;
            EXPECT_NEAR(velocity.ecefVelocityXMps, tpv.at("ecefvx").get<double>(), 1e-3);
            EXPECT_NEAR(velocity.speedAccuracyMps, tpv.at("ecefvAcc").get<double>(), 1e-3);
        }
    }
    EXPECT_EQ(compared, tpvs.size());
    const auto times = decodedOf<UbxNavTimeGps>(frames, 0x01, 0x20);
    ASSERT_FALSE(times.empty());
    EXPECT_EQ(times.back().leapSeconds, std::optional<std::int8_t>(tpvs.back().at("leapseconds").get<int>()));

    // NAV-TIMELS of the high-precision log gives the same leap seconds as gpsd reports there.
    const auto hpFrames = recorded::frames(recorded::stream(data / "ubx/ublox-zed-f9p-hp.log"));
    const auto leaps = decodedOf<UbxNavTimeLs>(hpFrames, 0x01, 0x26);
    const auto hpTpvs = reports(data / "ubx/ublox-zed-f9p-hp.log.chk", "TPV");
    ASSERT_FALSE(leaps.empty());
    ASSERT_FALSE(hpTpvs.empty());
    EXPECT_EQ(leaps.back().leapSeconds, std::optional<std::int8_t>(hpTpvs.back().at("leapseconds").get<int>()));
}

// NAV-SIG of the dual-band log, signal by signal against gpsd's SKY reports of the same epochs
// (gpsd writes one satellite entry per signal, sigid left out for signal 0).
TEST(UbxDecodersTest, NavSigOfDualBandLogAgreesWithGpsd)
{
    REQUIRE_TESTDATA(data);
    const auto frames = recorded::frames(recorded::stream(data / "ubx/ublox-zed-f9t-ubx_nmea_l5.log"));
    const auto sigs = decodedOf<UbxNavSig>(frames, 0x01, 0x43);
    ASSERT_EQ(sigs.size(), 9u);
    // gpsd takes "used" from the NMEA GSA of the epoch, not from NAV-SIG: not compared.
    std::vector<nlohmann::json> skies;
    for (auto& sky : reports(data / "ubx/ublox-zed-f9t-ubx_nmea_l5.log.chk", "SKY"))
        if (sky.contains("satellites") && sky["satellites"].size() == sigs[0].signalList.size()) skies.push_back(sky);
    ASSERT_EQ(skies.size(), sigs.size());
    std::size_t l5 = 0;
    for (std::size_t epoch = 0; epoch < sigs.size(); ++epoch) {
        const auto& satellites = skies[epoch]["satellites"];
        ASSERT_EQ(satellites.size(), sigs[epoch].signalList.size());
        for (std::size_t i = 0; i < satellites.size(); ++i) {
            SCOPED_TRACE("epoch " + std::to_string(epoch) + " signal " + std::to_string(i));
            const UbxSignal& signal = sigs[epoch].signalList[i];
            const auto& expected = satellites[i];
            EXPECT_EQ(static_cast<int>(signal.gnss), expected.at("gnssid").get<int>());
            EXPECT_EQ(signal.svId, expected.at("svid").get<int>());
            EXPECT_EQ(signal.sigId, expected.value("sigid", 0));
            EXPECT_EQ(signal.cnoDbHz, expected.at("ss").get<double>());
            EXPECT_EQ(static_cast<int>(signal.health), expected.value("health", 0));
            EXPECT_EQ(signal.quality, expected.at("qual").get<int>());
            EXPECT_NEAR(signal.pseudorangeResidualM, expected.at("prRes").get<double>(), 1e-9);
            EXPECT_FALSE(ubxSignalName(signal.gnss, signal.sigId).shortName.empty());
            if (ubxSignalName(signal.gnss, signal.sigId).band == SignalBand::L5) ++l5;
        }
    }
    EXPECT_GT(l5, 0u) << "the log holds L5 signals";
}

// NAV-SAT against gpsd's SKY of the same epochs (found in order by their satellite lists;
// gpsd may skip an epoch before it knows the time).
TEST(UbxDecodersTest, NavSatAgreesWithGpsd)
{
    REQUIRE_TESTDATA(data);
    for (const char* log : {"ubx/ublox-zed-f9p-rtk.log", "ubx/u-blox-m8t-time.log", "ubx/ublox-zed-f9p-hp.log"}) {
        SCOPED_TRACE(log);
        const auto frames = recorded::frames(recorded::stream(data / log));
        const auto sats = decodedOf<UbxNavSat>(frames, 0x01, 0x35);
        ASSERT_FALSE(sats.empty());
        const auto skies = reports(data / (std::string(log) + ".chk"), "SKY");
        std::size_t next = 0, matched = 0, unknownElevations = 0;
        for (const UbxNavSat& sat : sats) {
            auto sameSatellites = [&sat](const nlohmann::json& sky) {
                if (!sky.contains("satellites") || sky["satellites"].size() != sat.satellites.size()) return false;
                for (std::size_t i = 0; i < sat.satellites.size(); ++i)
                    if (sky["satellites"][i].value("svid", -1) != sat.satellites[i].svId
                        || sky["satellites"][i].value("gnssid", -1) != static_cast<int>(sat.satellites[i].gnss))
                        return false;
                return true;
            };
            std::size_t j = next;
            while (j < skies.size() && !sameSatellites(skies[j])) ++j;
            if (j == skies.size()) continue;
            next = j + 1;
            ++matched;
            const auto& satellites = skies[j]["satellites"];
            for (std::size_t i = 0; i < satellites.size(); ++i) {
                SCOPED_TRACE("satellite " + std::to_string(i));
                const UbxSatellite& satellite = sat.satellites[i];
                const auto& expected = satellites[i];
                EXPECT_EQ(satellite.cnoDbHz, expected.at("ss").get<double>());
                EXPECT_EQ(satellite.used, expected.at("used").get<bool>());
                // An elevation of -91 means "not known": gpsd leaves it out, and so do we.
                EXPECT_EQ(satellite.elevationDeg.has_value(), expected.contains("el"));
                if (!satellite.elevationDeg) ++unknownElevations;
                if (satellite.elevationDeg && expected.contains("el")) {
                    EXPECT_EQ(*satellite.elevationDeg, expected["el"].get<double>());
                    EXPECT_EQ(satellite.azimuthDeg, std::optional<std::int16_t>(expected.at("az").get<std::int16_t>()));
                }
                EXPECT_EQ(satellite.quality, expected.at("qual").get<int>());
                EXPECT_EQ(static_cast<int>(satellite.health), expected.value("health", 0));
            }
        }
        EXPECT_GE(matched + 2, sats.size()) << "nearly every NAV-SAT has gpsd's SKY";
        if (std::string(log) == "ubx/u-blox-m8t-time.log") {
            EXPECT_GT(unknownElevations, 0u);
        }
    }
}

// Every UBX frame of every recorded log goes through its decoder without a refusal.
TEST(UbxDecodersTest, EveryRecordedFrameDecodesOrIsKnownIgnored)
{
    REQUIRE_TESTDATA(data);
    for (const char* log : {"ubx/u-blox-m8t-time.log", "ubx/ublox-neo-m8n.log", "ubx/ublox-zed-f9p-hp.log",
                            "ubx/ublox-zed-f9p-rtk.log", "ubx/ublox-zed-f9p-sfrbx.log",
                            "ubx/ublox-zed-f9t-ubx_nmea_l5.log", "ubx/ublox8-uniqid-monhw.log",
                            "rtcm3/ublox-zed-f9t-rtcm3.log"}) {
        SCOPED_TRACE(log);
        std::size_t decoded = 0;
        for (const Frame& frame : recorded::frames(recorded::stream(data / log))) {
            if (frame.kind != FrameKind::Ubx) continue;
            SCOPED_TRACE(describeFrame(frame));
            const UbxDecoded result = decodeUbx(frame.ubxClass, frame.ubxId, frame.payload());
            EXPECT_TRUE(result.problem == UbxProblem::None || result.problem == UbxProblem::Ignored)
                << ubxProblemKey(result.problem);
            if (result.record) ++decoded;
        }
        EXPECT_GT(decoded, 0u);
    }
}

TEST(UbxDecodersTest, MonVerOfRecordedReceiver)
{
    REQUIRE_TESTDATA(data);
    const auto frames = recorded::frames(recorded::stream(data / "ubx/ublox8-uniqid-monhw.log"));
    const auto versions = decodedOf<UbxMonVer>(frames, 0x0A, 0x04);
    ASSERT_FALSE(versions.empty());
    const UbxMonVer& version = versions.front();
    EXPECT_FALSE(version.software.empty());
    EXPECT_FALSE(version.hardware.empty());
    EXPECT_EQ(version.extensions.size(), 4u);  // 160 bytes: 40 + 4 × 30
    EXPECT_FALSE(version.protocolVersion().empty());
}

// Hand-made messages, each field set to a value that shows it lands in the right place.
TEST(UbxDecodersTest, HandMadeMessagesGiveTheirRecords)
{
    {
        SCOPED_TRACE("NAV-STATUS with spoofing indicated and a fixed carrier solution");
        Payload p;
        p.put(123456, 4).put(3, 1).put(0x0F, 1).put(0x02, 1).put(2u << 3 | 2u << 6, 1).put(31000, 4).put(99000, 4);
        const auto record = std::get<UbxNavStatus>(*decodeUbx(0x01, 0x03, p.bytes).record);
        UbxNavStatus expected;
        expected.timeOfWeekMs = 123456;
        expected.fixType = UbxFixType::Fix3D;
        expected.gnssFixOk = expected.differential = expected.weekSet = expected.timeOfWeekSet = true;
        expected.carrierSolutionValid = true;
        expected.carrier = UbxCarrierSolution::Fixed;
        expected.spoofing = UbxSpoofingState::Indicated;
        expected.timeToFirstFixMs = 31000;
        expected.sinceStartupMs = 99000;
        EXPECT_EQ(record, expected);
    }
    {
        SCOPED_TRACE("MON-HW: antenna open, jamming warning");
        Payload p;
        p.zeros(16).put(87, 2).put(4321, 2).put(4, 1).put(1, 1).put(0x01 | 2u << 2, 1).zeros(22).put(77, 1).zeros(14);
        ASSERT_EQ(p.bytes.size(), 60u);
        const auto record = std::get<UbxMonHw>(*decodeUbx(0x0A, 0x09, p.bytes).record);
        UbxMonHw expected;
        expected.noisePerMs = 87;
        expected.agcCount = 4321;
        expected.antennaStatus = UbxAntennaStatus::Open;
        expected.antennaPower = UbxAntennaPower::On;
        expected.jamming = UbxJammingState::Warning;
        expected.jamIndicator = 77;
        expected.rtcCalibrated = true;
        EXPECT_EQ(record, expected);
    }
    {
        SCOPED_TRACE("MON-RF, two blocks");
        Payload p;
        p.put(0, 1).put(2, 1).zeros(2);
        p.put(0, 1).put(3, 1).put(3, 1).put(1, 1).put(0, 4).zeros(4).put(90, 2).put(5000, 2).put(200, 1).put(0xFE, 1).put(120, 1).put(3, 1).put(110, 1).zeros(3);
        p.put(1, 1).put(1, 1).put(2, 1).put(2, 1).put(0, 4).zeros(4).put(91, 2).put(6000, 2).put(10, 1).zeros(4).zeros(3);
        const auto record = std::get<UbxMonRf>(*decodeUbx(0x0A, 0x38, p.bytes).record);
        ASSERT_EQ(record.blocks.size(), 2u);
        const UbxRfBlock first{0, UbxJammingState::Critical, UbxAntennaStatus::Short, UbxAntennaPower::On, 0, 90, 5000, 200, -2, 120, 3, 110};
        EXPECT_EQ(record.blocks[0], first);
        EXPECT_EQ(record.blocks[1].jamming, UbxJammingState::Ok);
        EXPECT_EQ(record.blocks[1].antennaStatus, UbxAntennaStatus::Ok);
        EXPECT_EQ(record.blocks[1].antennaPower, UbxAntennaPower::DontKnow);
    }
    {
        SCOPED_TRACE("NAV-HPPOSLLH adds the high-precision parts");
        Payload p;
        p.put(0, 1).zeros(2).put(0, 1).put(1000, 4).put(static_cast<std::uint32_t>(152120432), 4)
            .put(static_cast<std::uint32_t>(-471290927), 4).put(869218, 4).put(826560, 4)
            .put(static_cast<std::uint8_t>(-5), 1).put(7, 1).put(3, 1).put(static_cast<std::uint8_t>(-4), 1).put(141, 4).put(250, 4);
        const auto record = std::get<UbxNavHpPosLlh>(*decodeUbx(0x01, 0x14, p.bytes).record);
        EXPECT_NEAR(*record.longitudeDeg, 15.2120432 - 5e-9, 1e-12);
        EXPECT_NEAR(*record.latitudeDeg, -47.1290927 + 7e-9, 1e-12);
        EXPECT_NEAR(*record.heightEllipsoidM, 869.2183, 1e-9);
        EXPECT_NEAR(*record.heightMslM, 826.5596, 1e-9);
        EXPECT_NEAR(record.horizontalAccuracyM, 0.0141, 1e-12);
        p.bytes[3] = 0x01;  // invalidLlh
        const auto invalid = std::get<UbxNavHpPosLlh>(*decodeUbx(0x01, 0x14, p.bytes).record);
        EXPECT_FALSE(invalid.latitudeDeg || invalid.longitudeDeg || invalid.heightMslM);
    }
    {
        SCOPED_TRACE("NAV-TIMEUTC, DOP, ACK, RXM-RTCM, INF");
        Payload utc;
        utc.put(5000, 4).put(25, 4).put(static_cast<std::uint32_t>(-300), 4).put(2026, 2).put(12, 1).put(8, 1).put(21, 1).put(5, 1).put(59, 1).put(0x07 | 3u << 4, 1);
        const auto time = std::get<UbxNavTimeUtc>(*decodeUbx(0x01, 0x21, utc.bytes).record);
        EXPECT_EQ(time.date, (UbxDate{2026, 12, 8}));
        EXPECT_EQ(time.time, (UbxTimeOfDay{21, 5, 59, -300}));
        EXPECT_EQ(time.utcStandard, 3);
        Payload dop;
        dop.put(1, 4).put(228, 2).put(112, 2).put(110, 2).put(94, 2).put(62, 2).put(58, 2).put(83, 2);
        const auto d = std::get<UbxNavDop>(*decodeUbx(0x01, 0x04, dop.bytes).record);
        EXPECT_DOUBLE_EQ(d.hdop, 0.62);
        EXPECT_DOUBLE_EQ(d.edop, 0.83);
        const std::vector<std::uint8_t> ackBytes{0x06, 0x8A};
        EXPECT_EQ(std::get<UbxAck>(*decodeUbx(0x05, 0x00, ackBytes).record), (UbxAck{false, 0x06, 0x8A}));
        EXPECT_EQ(std::get<UbxAck>(*decodeUbx(0x05, 0x01, ackBytes).record), (UbxAck{true, 0x06, 0x8A}));
        Payload rtcm;
        rtcm.put(2, 1).put(0x04, 1).put(0, 2).put(633, 2).put(1077, 2);
        EXPECT_EQ(std::get<UbxRxmRtcm>(*decodeUbx(0x02, 0x32, rtcm.bytes).record), (UbxRxmRtcm{false, 2, 0, 633, 1077}));
        const std::vector<std::uint8_t> inf{'A', 'N', 'T', 0x07, 'O', 'K'};
        EXPECT_EQ(std::get<UbxInfText>(*decodeUbx(0x04, 0x02, inf).record).text, "ANT.OK");
    }
}

TEST(UbxDecodersTest, RefusalsSayWhy)
{
    const std::vector<std::uint8_t> pvt(92, 0);
    struct Case {
        const char* name;
        std::uint8_t messageClass, messageId;
        std::vector<std::uint8_t> payload;
        UbxProblem problem;
    };
    auto badMonth = pvt;
    badMonth[11] = 0x01;  // date valid
    badMonth[6] = 13;
    badMonth[7] = 1;
    auto badFix = pvt;
    badFix[20] = 9;
    auto noFix = pvt;
    noFix[24] = 0xFF;  // a longitude of garbage is not shown without a fix
    std::vector<std::uint8_t> sat{0, 0, 0, 0, 1, 3, 0, 0};
    sat.resize(8 + 12 * 2);
    std::vector<std::uint8_t> sig{0, 0, 0, 0, 0, 1, 0, 0};
    sig.resize(8 + 16);
    sig[8] = 9;  // gnssId 9
    const Case cases[] = {
        {"short NAV-PVT", 0x01, 0x07, std::vector<std::uint8_t>(83), UbxProblem::TooShort},
        {"month 13", 0x01, 0x07, badMonth, UbxProblem::OutOfRange},
        {"fix type 9", 0x01, 0x07, badFix, UbxProblem::OutOfRange},
        {"NAV-SAT announcing 3 but holding 2", 0x01, 0x35, sat, UbxProblem::BadLength},
        {"NAV-SIG system 9", 0x01, 0x43, sig, UbxProblem::OutOfRange},
        {"NAV-SAT version 0", 0x01, 0x35, std::vector<std::uint8_t>(8), UbxProblem::BadVersion},
        {"MON-VER of 41 bytes", 0x0A, 0x04, std::vector<std::uint8_t>(41), UbxProblem::BadLength},
        {"MON-HW short", 0x0A, 0x09, std::vector<std::uint8_t>(59), UbxProblem::TooShort},
        {"ACK of one byte", 0x05, 0x01, std::vector<std::uint8_t>(1), UbxProblem::TooShort},
        {"unknown message", 0x01, 0x99, {}, UbxProblem::UnknownMessage},
        {"known, not read", 0x02, 0x13, std::vector<std::uint8_t>(8), UbxProblem::Ignored},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const UbxDecoded decoded = decodeUbx(c.messageClass, c.messageId, c.payload);
        EXPECT_FALSE(decoded.record);
        EXPECT_EQ(decoded.problem, c.problem);
    }
    const auto record = decodeUbx(0x01, 0x07, noFix);
    ASSERT_TRUE(record.record);
    const auto& empty = std::get<UbxNavPvt>(*record.record);
    EXPECT_FALSE(empty.latitudeDeg || empty.longitudeDeg || empty.heightMslM || empty.date || empty.time);
}

TEST(UbxDecodersTest, SignalNamesAndBands)
{
    struct Case {
        UbxGnss gnss;
        std::uint8_t sigId;
        std::string_view name;
        SignalBand band;
    };
    const Case cases[] = {
        {UbxGnss::Gps, 0, "L1C/A", SignalBand::L1},   {UbxGnss::Gps, 3, "L2C", SignalBand::L2},
        {UbxGnss::Gps, 7, "L5", SignalBand::L5},      {UbxGnss::Galileo, 1, "E1", SignalBand::L1},
        {UbxGnss::Galileo, 4, "E5a", SignalBand::L5}, {UbxGnss::Galileo, 6, "E5b", SignalBand::L2},
        {UbxGnss::BeiDou, 1, "B1I", SignalBand::L1},  {UbxGnss::BeiDou, 3, "B2I", SignalBand::L2},
        {UbxGnss::BeiDou, 7, "B2a", SignalBand::L5},  {UbxGnss::Glonass, 0, "L1OF", SignalBand::L1},
        {UbxGnss::Glonass, 2, "L2OF", SignalBand::L2}, {UbxGnss::Qzss, 9, "L5", SignalBand::L5},
        {UbxGnss::Glonass, 1, "", SignalBand::Unknown},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(ubxGnssName(c.gnss)) + " " + std::to_string(c.sigId));
        EXPECT_EQ(ubxSignalName(c.gnss, c.sigId).shortName, c.name);
        EXPECT_EQ(ubxSignalName(c.gnss, c.sigId).band, c.band);
    }
}

TEST(UbxDecodersTest, TableIsConsistent)
{
    const auto table = ubxMessageTable();
    for (std::size_t i = 0; i < table.size(); ++i) {
        SCOPED_TRACE(table[i].name);
        EXPECT_EQ(ubxMessageKind(table[i].messageClass, table[i].messageId), &table[i]) << "listed once";
        if (i > 0) {
            EXPECT_LT(table[i - 1].messageClass << 8 | table[i - 1].messageId, table[i].messageClass << 8 | table[i].messageId)
                << "kept in class/id order";
        }
    }
    EXPECT_EQ(ubxMessageName(0x01, 0x07), "NAV-PVT");
    EXPECT_EQ(ubxMessageName(0x01, 0x99), "0x01-0x99");
}

// Every refusal the binary layer reports has a text in each message table.
TEST(UbxDecodersTest, ProblemsHaveMessageTexts)
{
    std::vector<std::string_view> keys;
    for (int p = 1; p <= static_cast<int>(UbxProblem::BadVersion); ++p) keys.push_back(ubxProblemKey(static_cast<UbxProblem>(p)));
    for (int p = 1; p <= static_cast<int>(Rtcm3Problem::NotDecoded); ++p) keys.push_back(rtcm3ProblemKey(static_cast<Rtcm3Problem>(p)));
    for (int e = 1; e <= static_cast<int>(UbxConfigError::OutOfRange); ++e) keys.push_back(ubxConfigErrorKey(static_cast<UbxConfigError>(e)));
    for (const char* table : {"en.json", "de.json"}) {
        SCOPED_TRACE(table);
        std::ifstream file(std::filesystem::path(GPSDESK_SOURCE_DIR) / "resources/strings" / table);
        const auto texts = nlohmann::json::parse(file);
        for (const std::string_view key : keys) {
            ASSERT_FALSE(key.empty());
            EXPECT_TRUE(texts.contains(std::string(key))) << key;
        }
    }
}

// The first NAV-SVINFO of the generation-8 log, channels read off the bytes by hand.
TEST(UbxDecodersTest, LegacySvInfoOfRecordedReceiver)
{
    REQUIRE_TESTDATA(data);
    const auto frames = recorded::frames(recorded::stream(data / "ubx/ublox8-uniqid-monhw.log"));
    const auto infos = decodedOf<UbxNavSvInfo>(frames, 0x01, 0x30);
    ASSERT_EQ(infos.size(), 7u);
    const UbxNavSvInfo& first = infos.front();
    ASSERT_EQ(first.channels.size(), 14u);
    // Channel 10, SV 4: unhealthy, no orbit known, elevation -91: no position in the sky.
    UbxSvInfoChannel unknown;
    unknown.channel = 10;
    unknown.svId = 4;
    unknown.unhealthy = true;
    unknown.quality = 1;  // searching
    EXPECT_EQ(first.channels[0], unknown);
    const UbxSvInfoChannel& tracked = first.channels[1];
    EXPECT_EQ(tracked.channel, 2);
    EXPECT_EQ(tracked.svId, 6);
    EXPECT_TRUE(tracked.used && tracked.orbitAvailable && tracked.ephemeris && !tracked.unhealthy);
    EXPECT_EQ(tracked.cnoDbHz, 24);
    EXPECT_EQ(tracked.quality, 4);
    EXPECT_DOUBLE_EQ(tracked.pseudorangeResidualM, 1.86);
    EXPECT_EQ(tracked.elevationDeg, std::optional<std::int8_t>(65));
    EXPECT_EQ(tracked.azimuthDeg, std::optional<std::int16_t>(86));
    EXPECT_EQ(first.channels[9].svId, 133) << "SBAS in the legacy numbering";
}

// The base station's NAV-SBAS: SBAS off, every satellite listed without corrections.
TEST(UbxDecodersTest, SbasOfRecordedBaseStation)
{
    REQUIRE_TESTDATA(data);
    const auto frames = recorded::frames(recorded::stream(data / "rtcm3/ublox-zed-f9t-rtcm3.log"));
    const auto sbas = decodedOf<UbxNavSbas>(frames, 0x01, 0x32);
    ASSERT_EQ(sbas.size(), 3u);
    EXPECT_EQ(sbas[0].geoSvId, 0);
    EXPECT_EQ(sbas[0].mode, 0);
    EXPECT_EQ(sbas[0].system, -1);
    ASSERT_EQ(sbas[0].satellites.size(), 31u);
    EXPECT_EQ(sbas[0].satellites[0], (UbxSbasCorrection{79, 0, 14, -1, 0, 0.0, 0.0}));
    EXPECT_EQ(sbas[1].satellites.size(), 32u);
}
