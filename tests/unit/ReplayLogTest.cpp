// SPDX-License-Identifier: BSD-2-Clause
#include "sim/ReplayLog.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fakes/TempDir.h"

namespace {

namespace fs = std::filesystem;

class ReplayLogTest : public ::testing::Test {
protected:
    TempDir temp;
    const fs::path& dir = temp.path();
    fs::path write(const std::string& name, const std::string& bytes)
    {
        std::ofstream(dir / name, std::ios::binary) << bytes;
        return dir / name;
    }
};

const std::string kHeader = "# GPS Desk 0.1.0, /dev/pts/3 at 4800, started 2026-12-08T08:00:00Z\n";
const std::string kGga = "$GPGGA,080000,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47";
const std::string kRmc = "$GPRMC,080000,A,4807.038,N,01131.000,E,022.4,084.4,081226,,*33";

std::vector<std::string> readAll(sim::ReplayLog& log)
{
    std::vector<std::string> lines;
    while (auto line = log.next()) lines.push_back(line->text);
    return lines;
}

// Sentences come out in order without their line ends; comments, noise and over-long lines
// are skipped; the last line counts without its line feed; times are matched by offset.
TEST_F(ReplayLogTest, GivesSentencesWithTheirRecordedTimes)
{
    const std::string overlong = "$GPTXT," + std::string(sim::ReplayLog::kMaxLineBytes + 10, 'x');
    const std::string body = kHeader + kGga + "\r\n" + "\x01\x02noise\n" + overlong + "\n"
                             + kRmc + "\n" + "!AIVDM,1,1,,A,13aG?P0P00PD;88MD5MTDww@2<0L,0*1C";
    const auto log = write("drive.nmea", body);
    const std::size_t gga = kHeader.size();
    const std::size_t rmc = body.find("$GPRMC");
    write("drive.nmea.times", "# times\n" + std::to_string(gga) + " 0\n" + std::to_string(rmc)
                                  + " 1250\n");
    sim::ReplayLog replay;
    ASSERT_TRUE(replay.open(log.string())) << replay.error();
    EXPECT_TRUE(replay.hasTimes());
    std::vector<sim::ReplayLog::Line> lines;
    while (auto line = replay.next()) lines.push_back(*line);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].text, kGga);
    EXPECT_EQ(lines[0].offset, gga);
    EXPECT_EQ(lines[0].milliseconds, 0u);
    EXPECT_EQ(lines[1].text, kRmc);
    EXPECT_EQ(lines[1].milliseconds, 1250u);
    EXPECT_EQ(lines[2].text.rfind("!AIVDM", 0), 0u);
    EXPECT_FALSE(lines[2].milliseconds);

    // Seeking lands on the first line that starts at or after the offset.
    replay.seek(rmc);
    EXPECT_EQ(replay.next()->milliseconds, 1250u);
    replay.seek(gga + 1);
    EXPECT_EQ(replay.next()->text, kRmc);
    replay.seek(0);
    EXPECT_EQ(readAll(replay).size(), 3u);
}

// What is not a log is refused at once with a reason, reading no more than the start.
TEST_F(ReplayLogTest, RefusesWhatIsNotALog)
{
    std::string png = "\x89PNG\r\n\x1a\n";
    for (int i = 0; i < 5000; ++i) png += static_cast<char>((i * 7919) & 0xFF);
    const auto huge = dir / "huge.bin";
    {
        std::ofstream(huge, std::ios::binary) << "$GPTXT without a field\n";
    }
    fs::resize_file(huge, 1ull << 31);  // 2 GiB, sparse: all NUL after the first line
    struct Case {
        const char* name;
        std::string path;
        const char* reason;
    };
    for (const Case& c : std::initializer_list<Case>{
             {"picture", write("a.png", png).string(), "not an NMEA log"},
             {"empty", write("e.nmea", "").string(), "empty"},
             {"device", "/dev/zero", "not a file"},
             {"folder", dir.string(), "folder"},
             {"missing", (dir / "none").string(), "No such file"},
             {"2 GiB of NUL", huge.string(), "not an NMEA log"}}) {
        SCOPED_TRACE(c.name);
        sim::ReplayLog replay;
        EXPECT_FALSE(replay.open(c.path));
        EXPECT_NE(replay.error().find(c.reason), std::string::npos) << replay.error();
    }
}

// A log that turns into garbage is read to its end in steps of bounded size.
TEST_F(ReplayLogTest, GarbageAfterSentencesIsSkippedToTheEnd)
{
    const auto log = write("tail.nmea", kGga + "\r\n" + kRmc + "\r\n");
    fs::resize_file(log, 64u << 20);
    std::ofstream(log, std::ios::binary | std::ios::app) << "\n" << kGga << "\n";
    sim::ReplayLog replay;
    ASSERT_TRUE(replay.open(log.string()));
    EXPECT_FALSE(replay.hasTimes());
    EXPECT_EQ(readAll(replay), (std::vector<std::string>{kGga, kRmc, kGga}));
    EXPECT_EQ(replay.position(), replay.size());
}

TEST(ReplayLogSentenceTest, LooksLikeASentence)
{
    EXPECT_TRUE(sim::ReplayLog::looksLikeSentence(kGga));
    EXPECT_TRUE(sim::ReplayLog::looksLikeSentence("$GPZDA,201530.00,04,07,2002,00,00"));
    EXPECT_TRUE(sim::ReplayLog::looksLikeSentence("!AIVDM,1,1,,A,13aG,0*1C"));
    EXPECT_FALSE(sim::ReplayLog::looksLikeSentence("$GPTXT no comma"));
    EXPECT_FALSE(sim::ReplayLog::looksLikeSentence("$gpgga,1"));
    EXPECT_FALSE(sim::ReplayLog::looksLikeSentence("$GPGGA,\x01\x02"));
}

}  // namespace
