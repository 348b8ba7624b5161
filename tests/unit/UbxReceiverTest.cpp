// SPDX-License-Identifier: BSD-2-Clause
#include "sim/UbxReceiver.h"

#include <gtest/gtest.h>

#include "binary/UbxCommands.h"
#include "binary/UbxConfigKeys.h"
#include "binary/UbxMessages.h"

using namespace binary;

namespace {

constexpr std::uint32_t kRateMeas = 0x30210001;
constexpr std::uint32_t kBaud = 0x40520001;
constexpr std::uint32_t kNavSatUart1 = 0x20910016;

// The frames of an answer, split by the program's own framer.
std::vector<Frame> framesOf(const std::vector<std::uint8_t>& bytes)
{
    StreamFramer framer;
    framer.feed(bytes);
    std::vector<Frame> frames;
    Frame frame;
    while (framer.next(frame)) frames.push_back(frame);
    EXPECT_EQ(framer.counts().bytesSkipped, 0u);
    return frames;
}

std::optional<UbxAck> ackOf(const std::vector<std::uint8_t>& bytes)
{
    for (const Frame& frame : framesOf(bytes)) {
        if (frame.ubxClass != 0x05) continue;
        const auto decoded = decodeUbx(frame.ubxClass, frame.ubxId, frame.payload());
        if (decoded.record) return std::get<UbxAck>(*decoded.record);
    }
    return std::nullopt;
}

std::vector<UbxConfigValue> valGet(sim::UbxReceiver& receiver, UbxLayer layer, std::vector<std::uint32_t> keys)
{
    const auto answer = receiver.receive(ubxValGet(layer, keys));
    for (const Frame& frame : framesOf(answer))
        if (frame.ubxClass == 0x06 && frame.ubxId == 0x8B) return decodeUbxValGetResponse(frame.payload())->values;
    return {};
}

std::vector<std::uint8_t> set(sim::UbxReceiver& receiver, std::uint8_t layers, std::vector<UbxConfigValue> values)
{
    return receiver.receive(ubxValSet(layers, values));
}

sim::UbxEpoch epoch()
{
    sim::UbxEpoch e;
    e.timeOfWeekMs = 345600000;
    e.date = {2026, 12, 8};
    e.time = {21, 40, 5, 0};
    e.latitudeDeg = 47.1290927;
    e.longitudeDeg = -15.2120432;
    e.heightMslM = 826.56;
    e.geoidSeparationM = 42.658;
    e.groundSpeedMps = 12.5;
    e.headingDeg = 90.0;
    e.pdop = 1.12;
    e.hdop = 0.62;
    e.vdop = 0.94;
    e.satellites = {{UbxGnss::Gps, 2, 24, 310, 29, true, {0, 3}},
                    {UbxGnss::Glonass, 5, 40, 120, 35, false, {0, 2}},
                    {UbxGnss::Galileo, 11, 60, 45, 41, true, {1, 5}}};
    return e;
}

}  // namespace

TEST(UbxReceiverTest, AnswersMonVerPoll)
{
    sim::UbxReceiver receiver;
    const auto frames = framesOf(receiver.receive(ubxPollMonVer()));
    ASSERT_EQ(frames.size(), 1u);
    const auto version = std::get<UbxMonVer>(*decodeUbx(0x0A, 0x04, frames[0].payload()).record);
    EXPECT_EQ(version.protocolVersion(), "34.10");
    EXPECT_EQ(version.module(), "SIM-F9");
}

TEST(UbxReceiverTest, ValSetIsAcknowledgedAndReadBack)
{
    sim::UbxReceiver receiver;
    EXPECT_EQ(valGet(receiver, UbxLayer::Ram, {kRateMeas}), (std::vector<UbxConfigValue>{{kRateMeas, 1000}}));

    EXPECT_EQ(ackOf(set(receiver, ubxlayers::kRam, {{kRateMeas, 200}})), (UbxAck{true, 0x06, 0x8A}));
    EXPECT_EQ(receiver.measurementPeriodMs(), 200);
    EXPECT_EQ(valGet(receiver, UbxLayer::Ram, {kRateMeas}), (std::vector<UbxConfigValue>{{kRateMeas, 200}}));
    EXPECT_EQ(valGet(receiver, UbxLayer::Default, {kRateMeas}), (std::vector<UbxConfigValue>{{kRateMeas, 1000}}));
    EXPECT_TRUE(valGet(receiver, UbxLayer::Bbr, {kRateMeas}).empty()) << "nothing kept yet";

    // All or nothing: a bad value or an unknown key refuses the whole message.
    struct Case {
        const char* name;
        std::vector<UbxConfigValue> values;
    };
    const Case refused[] = {
        {"rate below the receiver's limit", {{kRateMeas, 10}}},
        {"baud rate no UART has", {{kBaud, 12345}}},
        {"unknown key beside a good one", {{kRateMeas, 500}, {0x20990001, 1}}},
    };
    for (const Case& c : refused) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ackOf(set(receiver, ubxlayers::kRam, c.values)), (UbxAck{false, 0x06, 0x8A}));
        EXPECT_EQ(receiver.measurementPeriodMs(), 200);
        EXPECT_EQ(receiver.baudRate(), 38400u);
    }
    EXPECT_EQ(ackOf(receiver.receive(ubxValGet(UbxLayer::Ram, std::vector<std::uint32_t>{0x20990001}))),
              (UbxAck{false, 0x06, 0x8B}));
}

TEST(UbxReceiverTest, SaveResetAndDefaults)
{
    sim::UbxReceiver receiver;
    set(receiver, ubxlayers::kRam, {{kRateMeas, 250}, {kBaud, 115200}});
    EXPECT_EQ(ackOf(receiver.receive(ubxSaveConfig())), (UbxAck{true, 0x06, 0x09}));
    set(receiver, ubxlayers::kRam, {{kRateMeas, 500}});
    EXPECT_TRUE(receiver.receive(ubxReset(UbxStart::Hot, UbxResetMode::Software)).empty()) << "resets are not answered";
    EXPECT_EQ(receiver.measurementPeriodMs(), 250) << "what was saved comes back";
    EXPECT_EQ(receiver.baudRate(), 115200u);

    EXPECT_EQ(ackOf(receiver.receive(ubxResetToDefaults())), (UbxAck{true, 0x06, 0x09}));
    EXPECT_EQ(receiver.measurementPeriodMs(), 1000);
    EXPECT_EQ(receiver.baudRate(), 38400u);
    EXPECT_TRUE(valGet(receiver, UbxLayer::Flash, {kRateMeas}).empty());

    // Legacy messages change the same settings.
    EXPECT_EQ(ackOf(receiver.receive(ubxCfgRate(100))), (UbxAck{true, 0x06, 0x08}));
    EXPECT_EQ(receiver.measurementPeriodMs(), 100);
    EXPECT_EQ(ackOf(receiver.receive(ubxCfgPrtUart(1, 9600))), (UbxAck{true, 0x06, 0x00}));
    EXPECT_EQ(receiver.baudRate(), 9600u);
    EXPECT_EQ(ackOf(receiver.receive(ubxCfgMsg(0x01, 0x35, 0))), (UbxAck{true, 0x06, 0x01}));
    EXPECT_EQ(receiver.outputRate(kNavSatUart1), 0);
}

TEST(UbxReceiverTest, AStartingRateIsKeptAsSavedAndForgottenOnFactoryReset)
{
    sim::UbxReceiver receiver(9600);
    EXPECT_EQ(receiver.baudRate(), 9600u);
    EXPECT_EQ(valGet(receiver, UbxLayer::Flash, {kBaud}), (std::vector<UbxConfigValue>{{kBaud, 9600}}));
    EXPECT_TRUE(receiver.receive(ubxReset(UbxStart::Hot, UbxResetMode::Software)).empty());
    EXPECT_EQ(receiver.baudRate(), 9600u);
    EXPECT_EQ(ackOf(receiver.receive(ubxResetToDefaults())), (UbxAck{true, 0x06, 0x09}));
    EXPECT_EQ(receiver.baudRate(), 38400u);
}

TEST(UbxReceiverTest, MeasurementsGiveTheSkyAndPositionBack)
{
    sim::UbxReceiver receiver;
    const sim::UbxEpoch given = epoch();
    const auto frames = framesOf(receiver.measurement(given));
    ASSERT_EQ(frames.size(), 4u);
    for (const Frame& frame : frames) {
        SCOPED_TRACE(describeFrame(frame));
        const UbxDecoded decoded = decodeUbx(frame.ubxClass, frame.ubxId, frame.payload());
        ASSERT_TRUE(decoded.record) << ubxProblemKey(decoded.problem);
        if (const auto* pvt = std::get_if<UbxNavPvt>(&*decoded.record)) {
            EXPECT_NEAR(*pvt->latitudeDeg, given.latitudeDeg, 1e-7);
            EXPECT_NEAR(*pvt->longitudeDeg, given.longitudeDeg, 1e-7);
            EXPECT_NEAR(*pvt->heightMslM, 826.56, 1e-3);
            EXPECT_NEAR(*pvt->heightEllipsoidM, 869.218, 1e-3);
            EXPECT_NEAR(pvt->groundSpeedMps, 12.5, 1e-3);
            EXPECT_NEAR(pvt->velocityEastMps, 12.5, 1e-3);
            EXPECT_EQ(pvt->satellitesUsed, 2);
            EXPECT_EQ(pvt->date, given.date);
            EXPECT_EQ(pvt->time, given.time);
        } else if (const auto* sat = std::get_if<UbxNavSat>(&*decoded.record)) {
            ASSERT_EQ(sat->satellites.size(), 3u);
            EXPECT_EQ(sat->satellites[1].gnss, UbxGnss::Glonass);
            EXPECT_EQ(sat->satellites[1].elevationDeg, std::optional<std::int8_t>(40));
            EXPECT_EQ(sat->satellites[1].azimuthDeg, std::optional<std::int16_t>(120));
            EXPECT_FALSE(sat->satellites[1].used);
            EXPECT_TRUE(sat->satellites[2].used);
        } else if (const auto* sig = std::get_if<UbxNavSig>(&*decoded.record)) {
            ASSERT_EQ(sig->signalList.size(), 6u);
            EXPECT_EQ(sig->signalList[3].sigId, 2);
            EXPECT_EQ(sig->signalList[3].glonassFrequency, std::optional<std::int8_t>(0));
            EXPECT_EQ(sig->signalList[5].sigId, 5);
            EXPECT_TRUE(sig->signalList[5].pseudorangeUsed);
        } else {
            EXPECT_NEAR(std::get<UbxNavDop>(*decoded.record).hdop, 0.62, 1e-9);
        }
    }
}

TEST(UbxReceiverTest, RatesDecideWhatEachMeasurementSends)
{
    sim::UbxReceiver receiver;
    set(receiver, ubxlayers::kRam, {{0x30210002, 2}, {kNavSatUart1, 0}, {0x20910346, 2}});
    std::vector<std::size_t> counts;
    for (int i = 0; i < 5; ++i) counts.push_back(framesOf(receiver.measurement(epoch())).size());
    // Navigation every second measurement; NAV-SIG every second solution; no NAV-SAT.
    EXPECT_EQ(counts, (std::vector<std::size_t>{3, 0, 2, 0, 3}));

    set(receiver, ubxlayers::kRam, {{0x10740001, 0}});
    EXPECT_TRUE(receiver.measurement(epoch()).empty()) << "UBX output off";
}

// The M8: says so in MON-VER, refuses the key messages, answers the older polls and has no
// NAV-SIG, whatever it is asked.
TEST(UbxReceiverTest, AnM8SpeaksOnlyTheOlderMessages)
{
    sim::UbxReceiver receiver(9600, sim::UbxModel::M8);
    const auto version = framesOf(receiver.receive(ubxPollMonVer()));
    ASSERT_EQ(version.size(), 1u);
    const auto monVer = std::get<UbxMonVer>(*decodeUbx(0x0A, 0x04, version[0].payload()).record);
    EXPECT_EQ(monVer.protocolVersion(), "18.00");
    EXPECT_EQ(monVer.module(), "NEO-M8N");

    const std::uint32_t rate = 0x30210001;
    EXPECT_EQ(ackOf(receiver.receive(ubxValGet(UbxLayer::Ram, std::span(&rate, 1)))), (UbxAck{false, 0x06, 0x8B}));
    EXPECT_EQ(ackOf(receiver.receive(ubxValSet(ubxlayers::kRam, std::vector<UbxConfigValue>{{rate, 200}}))),
              (UbxAck{false, 0x06, 0x8A}));
    EXPECT_EQ(receiver.measurementPeriodMs(), 1000u);

    const auto polled = framesOf(receiver.receive(ubxPoll(0x06, 0x08)));
    ASSERT_EQ(polled.size(), 2u) << "the answer, then its ACK";
    EXPECT_EQ(std::vector<std::uint8_t>(polled[0].payload().begin(), polled[0].payload().end()),
              (std::vector<std::uint8_t>{0xE8, 0x03, 0x01, 0x00, 0x01, 0x00}));
    EXPECT_EQ(ackOf(receiver.receive(ubxCfgMsg(0x01, 0x43, 1))), (UbxAck{false, 0x06, 0x01})) << "no NAV-SIG";
    for (int n = 0; n < 3; ++n)
        for (const Frame& frame : framesOf(receiver.measurement(epoch())))
            EXPECT_FALSE(frame.ubxClass == 0x01 && frame.ubxId == 0x43);
}
