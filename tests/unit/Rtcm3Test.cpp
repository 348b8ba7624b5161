// SPDX-License-Identifier: BSD-2-Clause
#include "binary/Rtcm3.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <string>

#include "binary/Crc24q.h"
#include "fakes/TestData.h"
#include "unit/RecordedFrames.h"

using namespace binary;

// Every RTCM3 frame of the recorded logs against gpsd's report of it, in order.
TEST(Rtcm3Test, RecordedFramesAgreeWithGpsd)
{
    REQUIRE_TESTDATA(data);
    std::size_t positions = 0, descriptors = 0, msm = 0;
    for (const char* log : {"rtcm3/rtcm3.log", "rtcm3/rtcm3.2.log", "rtcm3/ublox-zed-f9t-rtcm3.log"}) {
        SCOPED_TRACE(log);
        std::vector<nlohmann::json> expected;
        std::ifstream chk(data / (std::string(log) + ".chk"));
        // gpsd repeats the last RTCM3 report after the TPV and SKY of a cycle; such a repeat
        // is no frame of its own.
        bool otherReportSince = false;
        for (std::string line; std::getline(chk, line);) {
            if (line.rfind("{\"class\":\"RTCM3\"", 0) != 0) {
                otherReportSince = otherReportSince || line.rfind("{", 0) == 0;
                continue;
            }
            auto report = nlohmann::json::parse(line);
            if (!(otherReportSince && !expected.empty() && expected.back() == report)) expected.push_back(std::move(report));
            otherReportSince = false;
        }
        std::vector<Frame> frames;
        for (Frame& frame : recorded::frames(recorded::stream(data / log)))
            if (frame.kind == FrameKind::Rtcm3) frames.push_back(std::move(frame));
        ASSERT_EQ(frames.size(), expected.size());
        for (std::size_t i = 0; i < frames.size(); ++i) {
            const nlohmann::json& report = expected[i];
            SCOPED_TRACE(report.dump().substr(0, 120));
            const Rtcm3Decoded decoded = decodeRtcm3(frames[i].payload());
            EXPECT_EQ(decoded.message, report.at("type").get<int>());
            EXPECT_EQ(frames[i].rtcmMessage, decoded.message);
            EXPECT_EQ(frames[i].payload().size(), report.at("length").get<std::size_t>());
            if (report.contains("station_id")) {
                ASSERT_TRUE(decoded.station);
                EXPECT_EQ(*decoded.station, report["station_id"].get<int>());
                EXPECT_EQ(describeFrame(frames[i]), "RTCM3 " + std::to_string(decoded.message) + " station "
                                                        + std::to_string(*decoded.station) + " "
                                                        + std::to_string(frames[i].payload().size()) + " bytes");
            }
            if (!decoded.record) {
                EXPECT_EQ(decoded.problem, Rtcm3Problem::NotDecoded);
                continue;
            }
            EXPECT_EQ(decoded.problem, Rtcm3Problem::None);
            if (const auto* position = std::get_if<Rtcm3StationPosition>(&*decoded.record)) {
                ++positions;
                EXPECT_NEAR(position->ecefXM, report.at("x").get<double>(), 5e-5);
                EXPECT_NEAR(position->ecefYM, report.at("y").get<double>(), 5e-5);
                EXPECT_NEAR(position->ecefZM, report.at("z").get<double>(), 5e-5);
                EXPECT_EQ(position->referenceStation, report.at("refstation").get<bool>());
                EXPECT_EQ(position->singleOscillator, report.at("sro").get<bool>());
                const auto systems = report.at("system");
                EXPECT_EQ(position->gps, std::find(systems.begin(), systems.end(), "GPS") != systems.end());
                EXPECT_EQ(position->glonass, std::find(systems.begin(), systems.end(), "GLONASS") != systems.end());
                EXPECT_EQ(position->galileo, std::find(systems.begin(), systems.end(), "GALILEO") != systems.end());
            } else if (const auto* descriptor = std::get_if<Rtcm3Descriptor>(&*decoded.record)) {
                ++descriptors;
                EXPECT_EQ(descriptor->antenna, report.at("desc").get<std::string>());
                EXPECT_EQ(descriptor->setupId, report.at("setup_id").get<int>());
                if (report.contains("serial")) {
                    EXPECT_EQ(descriptor->antennaSerial, report["serial"].get<std::string>());
                }
                if (report.contains("receiver")) {
                    EXPECT_EQ(descriptor->receiver, report["receiver"].get<std::string>());
                }
                if (report.contains("firmware")) {
                    EXPECT_EQ(descriptor->firmware, report["firmware"].get<std::string>());
                }
            } else if (const auto* header = std::get_if<Rtcm3MsmHeader>(&*decoded.record)) {
                ++msm;
                EXPECT_EQ(header->gnssId, report.at("gnssid").get<int>());
                EXPECT_EQ("MSM" + std::to_string(header->msmType), report.at("subtype").get<std::string>());
                EXPECT_EQ(header->epochRaw, report.at("tow").get<std::uint32_t>());
                EXPECT_EQ(header->moreMessages ? "1" : "0", report.at("sync").get<std::string>());
                EXPECT_EQ(header->iods, report.at("IODS").get<int>());
                EXPECT_EQ(header->clockSteering, report.at("steering").get<int>());
                EXPECT_EQ(header->externalClock, report.at("extclk").get<int>());
                EXPECT_EQ(header->smoothing, report.at("smoothing").get<int>() != 0);
                EXPECT_EQ(header->smoothingInterval, report.at("interval").get<int>());
                EXPECT_EQ(header->satelliteMask, report.at("MaskSat").get<std::uint64_t>());
                EXPECT_EQ(header->signalMask, report.at("MaskSig").get<std::uint64_t>());
                EXPECT_EQ(header->cellMask, report.at("MaskCell").get<std::uint64_t>());
                EXPECT_EQ(header->satellites, report.at("NSat").get<int>());
                EXPECT_EQ(header->signalCount, report.at("NSig").get<int>());
                // gpsd's NCell is the width of the cell mask; cells counts the cells present.
                EXPECT_EQ(header->satellites * header->signalCount, report.at("NCell").get<int>());
                EXPECT_LE(header->cells, header->satellites * header->signalCount);
            }
        }
    }
    EXPECT_EQ(positions, 27u);
    EXPECT_EQ(descriptors, 9u);
    EXPECT_EQ(msm, 23u + 24 * 3 + 26 * 4);
}

TEST(Rtcm3Test, AntennaHeightAndShortMessages)
{
    // 1006, station 1, ITRF 0, GPS only, X = 1 m, Y = -1 m, Z = 0.5 m, height 1.5 m: written
    // bit by bit, most significant first.
    std::vector<bool> bits;
    auto put = [&bits](std::uint64_t value, unsigned count) {
        for (unsigned i = count; i-- > 0;) bits.push_back((value >> i & 1u) != 0);
    };
    put(1006, 12);
    put(1, 12);
    put(0, 6);
    put(0b1000, 4);
    put(10000, 38);
    put(0, 2);
    put((std::uint64_t{1} << 38) - 10000, 38);
    put(0, 2);
    put(5000, 38);
    put(15000, 16);
    std::vector<std::uint8_t> message((bits.size() + 7) / 8);
    for (std::size_t i = 0; i < bits.size(); ++i)
        if (bits[i]) message[i / 8] |= static_cast<std::uint8_t>(0x80 >> (i % 8));
    ASSERT_EQ(message.size(), 21u);
    const Rtcm3Decoded decoded = decodeRtcm3(message);
    ASSERT_TRUE(decoded.record);
    const Rtcm3StationPosition expected{1, 0, true, false, false, false, false, 0, 1.0, -1.0, 0.5, 1.5};
    EXPECT_EQ(std::get<Rtcm3StationPosition>(*decoded.record), expected);

    for (std::size_t length = 0; length < message.size(); ++length) {
        SCOPED_TRACE(length);
        const Rtcm3Decoded cut = decodeRtcm3(std::span<const std::uint8_t>(message).first(length));
        EXPECT_FALSE(cut.record);
        EXPECT_EQ(cut.problem, Rtcm3Problem::TooShort);
    }
}
