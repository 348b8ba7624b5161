// SPDX-License-Identifier: BSD-2-Clause
// The receiver state's fold of UBX records: which source wins, and what the monitor messages
// say of the receiver.

#include <gtest/gtest.h>

#include "receiver/ReceiverState.h"
#include "stream/SentencePipeline.h"

namespace {

void nmea(ReceiverState& state, const char* text)
{
    const LineResult result = SentencePipeline::decodeText(text);
    ASSERT_EQ(result.kind, LineResult::Kind::Decoded) << text;
    state.apply(*result.record, 1.0);
}

binary::UbxNavPvt pvt(double latitude, binary::UbxCarrierSolution carrier)
{
    binary::UbxNavPvt p;
    p.time = binary::UbxTimeOfDay{12, 0, 1, -1000};  // 12:00:00.999999
    p.date = binary::UbxDate{2026, 12, 8};
    p.fixType = binary::UbxFixType::Fix3D;
    p.gnssFixOk = true;
    p.carrier = carrier;
    p.latitudeDeg = latitude;
    p.longitudeDeg = 11.5;
    p.heightMslM = 520.0;
    p.heightEllipsoidM = 567.5;
    p.horizontalAccuracyM = 0.014;
    p.verticalAccuracyM = 0.021;
    p.groundSpeedMps = 1.0;
    p.headingOfMotionDeg = 90.0;
    return p;
}

TEST(ReceiverStateUbx, NavPvtOwnsTheFixOnceItCameAndNmeaNoLongerMovesIt)
{
    ReceiverState state;
    nmea(state, "$GPGGA,120000,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,");
    EXPECT_NEAR(state.position()->latitudeDegrees, 48.1173, 1e-6);
    EXPECT_EQ(state.status(), std::nullopt);

    state.apply(binary::UbxRecord{pvt(48.2, binary::UbxCarrierSolution::Fixed)}, 2.0);
    EXPECT_DOUBLE_EQ(state.position()->latitudeDegrees, 48.2);
    EXPECT_EQ(state.status(), 3) << "RTK fixed";
    EXPECT_EQ(state.mode(), 3);
    EXPECT_NEAR(state.time()->seconds, 1.0, 1e-9) << "the negative nanoseconds round to the second, not below it";
    EXPECT_DOUBLE_EQ(*state.altitudeEllipsoidMeters(), 567.5);
    EXPECT_NEAR(*state.speedKnots(), 1.943844, 1e-5);

    // The receiver's own NMEA, rounded, arrives after the binary solution: left alone.
    nmea(state, "$GPGGA,120001,4807.038,N,01131.000,E,4,08,0.9,545.4,M,46.9,M,,");
    EXPECT_DOUBLE_EQ(state.position()->latitudeDegrees, 48.2);
    EXPECT_FLOAT_EQ(*state.altitudeMeters(), 520.0f);

    state.apply(binary::UbxRecord{pvt(48.2, binary::UbxCarrierSolution::Float)}, 3.0);
    EXPECT_EQ(state.status(), 4) << "RTK float";
}

TEST(ReceiverStateUbx, GgaQualityGivesTheRtkStatusWithoutUbx)
{
    ReceiverState state;
    nmea(state, "$GPGGA,120000,4807.038,N,01131.000,E,4,08,0.9,545.4,M,46.9,M,,");
    EXPECT_EQ(state.status(), 3);
    nmea(state, "$GPGGA,120001,4807.038,N,01131.000,E,5,08,0.9,545.4,M,46.9,M,,");
    EXPECT_EQ(state.status(), 4);
    nmea(state, "$GPGGA,120002,4807.038,N,01131.000,E,2,08,0.9,545.4,M,46.9,M,,");
    EXPECT_EQ(state.status(), 2);
}

TEST(ReceiverStateUbx, MonitorMessagesSayWhoTheReceiverIsAndHowItsSignalFares)
{
    ReceiverState state;
    EXPECT_FALSE(state.health().model) << "unknown until the receiver says";
    binary::UbxMonVer version;
    version.software = "EXT CORE 1.00 (61b2dd)";
    version.hardware = "00190000";
    version.extensions = {"FWVER=HPG 1.32", "PROTVER=27.31", "MOD=ZED-F9P", "GPS;GLO;GAL;BDS"};
    EXPECT_EQ(state.apply(binary::UbxRecord{version}, 1.0), ReceiverState::kHealth);
    EXPECT_EQ(state.health().model, "ZED-F9P");
    EXPECT_EQ(state.health().protocolVersion, "27.31");
    EXPECT_EQ(state.apply(binary::UbxRecord{version}, 2.0), 0u) << "the same again changes nothing";

    binary::UbxMonRf rf;
    rf.blocks.resize(2);
    rf.blocks[0].jamIndicator = 12;
    rf.blocks[0].jamming = binary::UbxJammingState::Ok;
    rf.blocks[1].jamIndicator = 200;
    rf.blocks[1].jamming = binary::UbxJammingState::Critical;
    rf.blocks[1].antennaStatus = binary::UbxAntennaStatus::Short;
    state.apply(binary::UbxRecord{rf}, 3.0);
    EXPECT_EQ(state.health().jamming, binary::UbxJammingState::Critical) << "the worst band is shown";
    EXPECT_EQ(state.health().jamIndicator, 200);
    EXPECT_EQ(state.health().antenna, binary::UbxAntennaStatus::Short);
    EXPECT_EQ(state.health().model, "ZED-F9P") << "identity kept";
}

}  // namespace
