// SPDX-License-Identifier: BSD-2-Clause
#include "stream/TrackLog.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <malloc.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "fakes/TestData.h"
#include "nmea/NMEA.h"

namespace {

ByteBuffer verified(const std::string& line)
{
    ByteBuffer bytes(line.begin(), line.end());
    bytes.push_back('\r');
    bytes.push_back('\n');
    bytes.push_back(0);
    EXPECT_TRUE(NMEA::checkSumValid(bytes)) << line;
    return bytes;
}

// A sentence body with its "*hh" added, verified.
ByteBuffer checksummed(const std::string& body)
{
    unsigned sum = 0;
    for (const char c : body) sum ^= static_cast<unsigned char>(c);
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X", sum);
    return verified("$" + body + tail);
}

// Two cycles of a receiver (GGA before RMC in one, after it in the other), one cycle
// without a fix and a southern/western position: one point per valid cycle with every
// field from the sentence that carries it.
TEST(TrackLogTest, OnePointPerValidCycle)
{
    TrackLog track;
    for (const char* line : {
             "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39",
             "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47",
             "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A",
             "$GPRMC,123520,V,,,,,,,230394,,*39",
             "$GPGGA,123520,,,,,0,00,,,M,,M,,*61",
             "$GPRMC,123521,A,3356.123,S,15112.500,W,000.0,360.0,230394,,*1E",
             "$GPGGA,123521,3356.123,S,15112.500,W,2,05,1.8,-12.0,M,,M,,*44"}) {
        track.addSentence(verified(line));
    }
    const auto points = track.points();
    ASSERT_EQ(points.size(), 2u);
    const TrackPoint& first = points[0];
    EXPECT_EQ(first.timeUtc, "1994-03-23T12:35:19Z");
    EXPECT_NEAR(first.latitudeDegrees, 48.1173, 1e-9);
    EXPECT_NEAR(first.longitudeDegrees, 11.516666667, 1e-8);
    EXPECT_EQ(first.altitudeMeters, 545.4);
    EXPECT_NEAR(*first.speedMetersPerSecond, 22.4 * 1852.0 / 3600.0, 1e-9);
    EXPECT_EQ(first.courseDegrees, 84.4);
    EXPECT_EQ(first.fix, "3d");
    EXPECT_EQ(first.satellites, 8);
    EXPECT_EQ(first.hdop, 0.9);

    const TrackPoint& second = points[1];
    EXPECT_EQ(second.timeUtc, "1994-03-23T12:35:21Z");
    EXPECT_NEAR(second.latitudeDegrees, -33.93538333, 1e-8);
    EXPECT_NEAR(second.longitudeDegrees, -151.208333333, 1e-8);
    EXPECT_EQ(second.altitudeMeters, -12.0);
    EXPECT_EQ(second.courseDegrees, 0.0);
    EXPECT_EQ(second.fix, "dgps");
    EXPECT_EQ(second.satellites, 5);
}

TEST(TrackLogTest, FromLogSkipsBadChecksumsAndNoise)
{
    const auto path = std::filesystem::temp_directory_path() / ("track-" + std::to_string(::getpid()) + ".nmea");
    {
        std::ofstream out(path, std::ios::binary);
        out << "# GPS Desk 0.1.0, /dev/pts/1 at 4800, started 2026-12-08T08:00:00Z\n"
            << "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n"
            << std::string(3000, 'x') << "\n"
            << "$GPRMC,123520,A,4907.038,N,01131.000,E,022.4,084.4,230394,003.1,W*00\r\n"
            << "\x01\x02\x03\n";
    }
    std::string error;
    const auto points = TrackLog::fromLog(path.string(), error);
    std::filesystem::remove(path);
    ASSERT_TRUE(points);
    ASSERT_EQ(points->size(), 1u);
    EXPECT_NEAR(points->front().latitudeDegrees, 48.1173, 1e-9);
    EXPECT_FALSE(TrackLog::fromLog("/nonexistent/x.nmea", error));
    EXPECT_NE(error.find("No such file"), std::string::npos);
}

// A fast stream of fixes (a blast of a million cycles at full speed) must not grow the
// program without end: what is kept stays within a budget of memory, later fixes are
// counted, and a time of day that does not exist is not written as one.
TEST(TrackLogTest, KeptFixesStayWithinAMemoryBudget)
{
    const auto sentence = [](const std::string& body) {
        unsigned sum = 0;
        for (const char c : body) sum ^= static_cast<unsigned char>(c);
        char tail[8];
        std::snprintf(tail, sizeof tail, "*%02X", sum);
        return verified("$" + body + tail);
    };
    // In use: small blocks and the large ones the allocator maps on their own.
    const auto inUse = [] {
        const struct mallinfo2 info = ::mallinfo2();
        return info.uordblks + info.hblkhd;
    };
    const std::size_t before = inUse();
    if (before == 0) GTEST_SKIP() << "this allocator does not count what is in use";
    constexpr std::size_t kCycles = 400'000;
    {
        TrackLog track;
        char body[96];
        for (std::size_t i = 0; i < kCycles; ++i) {
            const std::size_t second = i % 86400;
            std::snprintf(body, sizeof body, "GPRMC,%02zu%02zu%02zu.%02zu,A,4807.038,N,01131.000,E,022.4,084.4,081226,,",
                          second / 3600, second / 60 % 60, second % 60, i % 100);
            track.addSentence(sentence(body));
        }
        const std::size_t grown = inUse() - before;
        EXPECT_LT(grown, 12u << 20) << "bytes kept for " << kCycles << " fixes";
        const auto points = track.points();
        ASSERT_FALSE(points.empty());
        // Every fix is kept or counted; the last cycle is still open.
        EXPECT_EQ(points.size() + track.pointsNotKept(), kCycles - 1);
        EXPECT_EQ(points.front().timeUtc, "2026-12-08T00:00:00Z");
        EXPECT_EQ(points.back().timeUtc.size(), 20u);
        EXPECT_NEAR(*points.front().speedMetersPerSecond, 22.4 * 1852.0 / 3600.0, 1e-9);
        EXPECT_FALSE(points.front().altitudeMeters);

        TrackLog odd;
        odd.addSentence(sentence("GPRMC,256199,A,4807.038,N,01131.000,E,,,081226,,"));
        ASSERT_EQ(odd.points().size(), 1u);
        EXPECT_EQ(odd.points().front().timeUtc, "");
    }
}

// Every digit sent reaches the track. Each value here lands on the other side of the
// exported rounding when held in single precision: 10000.35 m was written 10000.3, HDOP 0.85
// as 0.9, a course of 359.95 as 360.0.
TEST(TrackLogTest, ValuesKeepEveryDigitTheSentenceSent)
{
    TrackLog track;
    track.addSentence(checksummed("GNGGA,101112.00,4134.49795459,N,09345.03431408,W,4,12,0.85,10000.35,M,-31.442,M,1.0,0133"));
    track.addSentence(checksummed("GNRMC,101112.00,A,4134.49795459,N,09345.03431408,W,123.4567,359.95,180320,,,R"));
    const auto points = track.points();
    ASSERT_EQ(points.size(), 1u);
    const TrackPoint& point = points.front();
    EXPECT_DOUBLE_EQ(point.latitudeDegrees, 41.0 + 34.49795459 / 60.0);
    EXPECT_DOUBLE_EQ(point.longitudeDegrees, -(93.0 + 45.03431408 / 60.0));
    EXPECT_EQ(point.altitudeMeters, 10000.35);
    EXPECT_EQ(point.hdop, 0.85);
    EXPECT_EQ(point.courseDegrees, 359.95);
    EXPECT_EQ(point.speedMetersPerSecond, 123.4567 * (1852.0 / 3600.0));
    EXPECT_EQ(point.timeUtc, "2020-03-18T10:11:12Z");
}

// One fix is one point however many digits each sentence gives its time ("030129.00" in
// GGA, "030129.0" in RMC, as a Triton receiver writes them); a time that is no time of day
// still makes a point of its own, without a time.
TEST(TrackLogTest, OneFixIsOnePointWhateverDigitsItsTimeHas)
{
    TrackLog track;
    for (const char* body : {"GPGGA,030129.00,2638.1726,N,08011.3892,W,1,06,1.5,00016,M,-0028,M,,",
                             "GPRMC,030129.0,A,2638.1726,N,08011.3892,W,0.00,219.6,010413,,",
                             "GPGGA,030130,2638.1728,N,08011.3893,W,1,06,1.5,00017,M,-0028,M,,",
                             "GPGGA,036199,2638.1730,N,08011.3894,W,1,06,1.5,00018,M,-0028,M,,",
                             "GPRMC,036199,A,2638.1730,N,08011.3894,W,1.00,219.6,010413,,"})
        track.addSentence(checksummed(body));
    const auto points = track.points();
    ASSERT_EQ(points.size(), 3u);
    EXPECT_EQ(points[0].timeUtc, "2013-04-01T03:01:29Z");
    EXPECT_EQ(points[0].altitudeMeters, 16.0);
    EXPECT_EQ(points[0].speedMetersPerSecond, 0.0);
    EXPECT_EQ(points[1].timeUtc, "2013-04-01T03:01:30Z");
    EXPECT_EQ(points[2].timeUtc, "");
    EXPECT_EQ(points[2].altitudeMeters, 18.0);
    EXPECT_TRUE(points[2].speedMetersPerSecond);
}

// Recorded logs: the Trimble RTK log's first fix with all its digits (its sentences read by
// hand), one point per tenth of a second; the Triton log's GGA and RMC of one second as one.
TEST(TrackLogTest, RecordedLogsGiveOnePointPerFix)
{
    REQUIRE_TESTDATA(root);
    std::string error;
    const auto rtk = TrackLog::fromLog((root / "nmea/nmea-rtk.log").string(), error);
    ASSERT_TRUE(rtk) << error;
    ASSERT_EQ(rtk->size(), 122u);
    // $GNGGA,132819.60,4134.49795459,N,09345.03431408,W,2,10,0.9,278.161,M,-31.442,M,6.6,0133
    // $GNRMC,132819.60,A,4134.49795459,N,09345.03431408,W,0.148,124.888,180320,11.5985,E,D
    const TrackPoint& first = rtk->front();
    EXPECT_EQ(first.timeUtc, "2020-03-18T13:28:19Z");
    EXPECT_DOUBLE_EQ(first.latitudeDegrees, 41.0 + 34.49795459 / 60.0);
    EXPECT_DOUBLE_EQ(first.longitudeDegrees, -(93.0 + 45.03431408 / 60.0));
    EXPECT_EQ(first.altitudeMeters, 278.161);
    EXPECT_EQ(first.speedMetersPerSecond, 0.148 * (1852.0 / 3600.0));
    EXPECT_EQ(first.courseDegrees, 124.888);
    EXPECT_EQ(first.hdop, 0.9);
    EXPECT_EQ(first.satellites, 10);
    EXPECT_EQ(first.fix, "dgps");

    const auto triton = TrackLog::fromLog((root / "nmea/triton400.log").string(), error);
    ASSERT_TRUE(triton) << error;
    ASSERT_EQ(triton->size(), 4u);
    for (const TrackPoint& point : *triton) {
        SCOPED_TRACE(point.timeUtc);
        EXPECT_EQ(point.timeUtc.size(), 20u);
        EXPECT_TRUE(point.altitudeMeters && point.speedMetersPerSecond && point.satellites);
    }
}

}  // namespace
