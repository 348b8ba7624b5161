// SPDX-License-Identifier: BSD-2-Clause
// The simulated receiver replaying a log at its own pace, faster, as fast as read, paused
// and moved, read on its pseudo-terminal as an application would.

#include <chrono>
#include <functional>
#include <thread>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "fakes/TempDir.h"

#include "fakes/TestData.h"
#include "sim/Simulator.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct Arrival {
    std::string line;
    double seconds;  // after the reader began
};

// Lines as they arrive on the device, until count lines came or the time ran out.
std::vector<Arrival> readLines(const std::string& device, std::size_t count, double timeoutSeconds,
                               const std::function<void(std::size_t)>& afterLine = {})
{
    std::vector<Arrival> lines;
    const int fd = ::open(device.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return lines;
    const auto start = Clock::now();
    std::string partial;
    while (lines.size() < count) {
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        if (elapsed > timeoutSeconds) break;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0) continue;
        char buffer[65536];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) continue;
        const double at = std::chrono::duration<double>(Clock::now() - start).count();
        for (ssize_t i = 0; i < n; ++i) {
            if (buffer[i] == '\n') {
                if (!partial.empty() && partial.back() == '\r') partial.pop_back();
                lines.push_back({partial, at});
                partial.clear();
                if (afterLine) afterLine(lines.size());
            } else {
                partial.push_back(buffer[i]);
            }
        }
    }
    ::close(fd);
    return lines;
}

class SimulatorReplayPaceTest : public ::testing::Test {
protected:
    TempDir temp;
    const fs::path& dir = temp.path();
};

// A sentence with its checksum, without the line end.
std::string sentence(const std::string& body)
{
    std::string line = sim::withChecksum(body);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    return line;
}

std::string rmc(int second)
{
    char body[96];
    std::snprintf(body, sizeof body, "$GPRMC,1200%02d,A,4807.038,N,01131.000,E,0.0,0.0,081226,,", second);
    return sentence(body);
}

// With recorded times the gaps are the recorded ones divided by the speed; without, a new
// cycle (a new UTC time) starts each second divided by the speed.
TEST_F(SimulatorReplayPaceTest, RecordedAndCyclePaceTimesSpeed)
{
    std::string log, times = "# times\n";
    for (int i = 0; i < 4; ++i) {
        times += std::to_string(log.size()) + " " + std::to_string(i * 600) + "\n";
        log += rmc(i) + "\r\n";
    }
    std::ofstream(dir / "timed.nmea", std::ios::binary) << log;
    std::ofstream(dir / "timed.nmea.times", std::ios::binary) << times;
    std::string cycles;
    for (int i = 0; i < 4; ++i) cycles += rmc(i) + "\r\n" + sentence("$GPGSA,A,3,04,05,,,,,,,,,,,2.5,1.3,2.1") + "\r\n";
    std::ofstream(dir / "cycles.nmea", std::ios::binary) << cycles;

    struct Case {
        const char* name;
        const char* file;
        double speed;
        std::size_t lines;
        double span;  // seconds from the first line to the last
    };
    for (const Case& c : {Case{"times at 1x", "timed.nmea", 1.0, 4, 1.8},
                          Case{"times at 4x", "timed.nmea", 4.0, 4, 0.45},
                          Case{"cycles at 4x", "cycles.nmea", 4.0, 8, 0.75}}) {
        SCOPED_TRACE(c.name);
        sim::Options options;
        options.replayPath = (dir / c.file).string();
        options.replaySpeed = c.speed;
        sim::Simulator simulator(options);
        ASSERT_TRUE(simulator.start()) << simulator.error();
        const auto lines = readLines(simulator.devicePath(), c.lines, 10.0);
        ASSERT_EQ(lines.size(), c.lines);
        EXPECT_EQ(lines[0].line, rmc(0));
        const double span = lines.back().seconds - lines.front().seconds;
        EXPECT_NEAR(span, c.span, 0.15 + c.span * 0.1);
        EXPECT_TRUE(simulator.replayFinished() || lines.size() == c.lines);
    }
}

// Paused, nothing comes; moved to the middle, the replay goes on from the line there.
TEST_F(SimulatorReplayPaceTest, PauseHoldsAndSeekMoves)
{
    std::string log;
    for (int i = 0; i < 40; ++i) log += rmc(i) + "\r\n";
    std::ofstream(dir / "long.nmea", std::ios::binary) << log;
    sim::Options options;
    options.replayPath = (dir / "long.nmea").string();
    options.replaySpeed = 4.0;
    sim::Simulator simulator(options);
    ASSERT_TRUE(simulator.start()) << simulator.error();
    auto first = readLines(simulator.devicePath(), 2, 5.0);
    ASSERT_EQ(first.size(), 2u);
    simulator.setReplayPaused(true);
    std::this_thread::sleep_for(100ms);  // a line on its way may still land
    const auto whilePaused = readLines(simulator.devicePath(), 10, 1.0);
    EXPECT_LE(whilePaused.size(), 1u);
    simulator.seekReplay(0.5);
    simulator.setReplayPaused(false);
    const auto after = readLines(simulator.devicePath(), 1, 5.0);
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after[0].line, rmc(20));
    EXPECT_NEAR(simulator.replayPosition(), 0.5, 0.03);
}

// As fast as it is read: 30,000 lines of the recorded logs, all of them, in order. How fast
// is the benchmark's business (bench/README.md); a loaded machine only takes longer here.
TEST_F(SimulatorReplayPaceTest, AsFastAsPossibleLosesNothing)
{
    REQUIRE_TESTDATA(data);
    const fs::path input = dir / "bench.nmea";
    const std::string command = "\"" + (data / "make-bench").string() + "\" \"" + input.string()
                                + "\" 30000 > /dev/null 2>&1";
    std::system(command.c_str());
    std::ifstream in(input, std::ios::binary);
    std::vector<std::string> expected;
    for (std::string line; std::getline(in, line);) {
        while (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && (line[0] == '$' || line[0] == '!')) expected.push_back(line);
    }
    ASSERT_EQ(expected.size(), 30000u);

    sim::Options options;
    options.replayPath = input.string();
    options.replaySpeed = 0.0;
    sim::Simulator simulator(options);
    ASSERT_TRUE(simulator.start()) << simulator.error();
    const auto lines = readLines(simulator.devicePath(), expected.size(), 120.0);
    ASSERT_EQ(lines.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        if (lines[i].line != expected[i]) FAIL() << "line " << i << ": " << lines[i].line;
    RecordProperty("seconds", std::to_string(lines.back().seconds));
}

// A recording that mixes UBX frames with sentences is sent as recorded, paced or not: no line
// end after a binary frame, none doubled after a sentence.
TEST_F(SimulatorReplayPaceTest, AMixedRecordingIsSentByteForByteAtEveryPace)
{
    // UBX ACK-ACK of CFG-VALSET, its checksum included.
    const std::string ack("\xB5\x62\x05\x01\x02\x00\x06\x8A\x98\xC1", 10);
    const std::string recorded = rmc(0) + "\r\n" + ack + rmc(1) + "\r\n" + ack + rmc(2) + "\r\n";
    const fs::path input = dir / "mixed.ubx";
    std::ofstream(input, std::ios::binary) << recorded;
    for (const double speed : {0.0, 20.0}) {
        SCOPED_TRACE(speed);
        sim::Options options;
        options.replayPath = input.string();
        options.replaySpeed = speed;
        sim::Simulator simulator(options);
        ASSERT_TRUE(simulator.start()) << simulator.error();
        const int fd = ::open(simulator.devicePath().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        std::string got;
        const auto end = Clock::now() + 5s;
        while (got.size() < recorded.size() + 8 && Clock::now() < end) {
            pollfd ready{fd, POLLIN, 0};
            if (::poll(&ready, 1, 200) <= 0) {
                if (got.size() >= recorded.size()) break;  // all there, and nothing more comes
                continue;
            }
            char buffer[4096];
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0) got.append(buffer, static_cast<std::size_t>(n));
        }
        ::close(fd);
        EXPECT_EQ(got, recorded);
    }
}

// Looped, a log whose lines share one time stamp (or a log of one line) plays one pass per
// cycle: after the wrap its lines are not all due at once, again and again without end.
TEST_F(SimulatorReplayPaceTest, LoopOfOneTimeStampPlaysAPassPerCycle)
{
    const std::string gsa = sentence("$GPGSA,A,3,04,05,,,,,,,,,,,2.5,1.3,2.1");
    std::ofstream(dir / "one-stamp.nmea", std::ios::binary) << rmc(7) + "\r\n" + gsa + "\r\n" + rmc(7) + "\r\n";
    std::ofstream(dir / "one-line.nmea", std::ios::binary) << rmc(7) + "\r\n";
    std::ofstream(dir / "one-line.nmea.times", std::ios::binary) << "# times\n0 0\n";
    struct Case {
        const char* name;
        const char* file;
        std::size_t linesPerPass;
    };
    for (const Case& c : {Case{"one time stamp", "one-stamp.nmea", 3}, Case{"one timed line", "one-line.nmea", 1}}) {
        SCOPED_TRACE(c.name);
        sim::Options options;
        options.replayPath = (dir / c.file).string();
        options.replaySpeed = 5.0;  // a pass every 0.2 s
        options.loop = true;
        sim::Simulator simulator(options);
        ASSERT_TRUE(simulator.start()) << simulator.error();
        const auto lines = readLines(simulator.devicePath(), 1000, 1.0);
        // Some 5 passes in the second; a loaded machine may fall behind, never ahead.
        EXPECT_GE(lines.size(), 2 * c.linesPerPass);
        EXPECT_LE(lines.size(), 7 * c.linesPerPass);
        EXPECT_LE(simulator.replayLinesSent(), 8 * c.linesPerPass);
        simulator.stop();  // and it does stop
    }
}

// A gap of 10^15 ms in the times file, or a speed of 10^-12, waits (the speed is raised to the
// least there is); neither overflows the clock into the past and plays at once.
TEST_F(SimulatorReplayPaceTest, HugeGapsAndTinySpeedsWaitInsteadOfPlayingAtOnce)
{
    std::ofstream(dir / "gap.nmea", std::ios::binary) << rmc(0) + "\r\n" + rmc(1) + "\r\n";
    const std::string secondAt = std::to_string(rmc(0).size() + 2);
    std::ofstream(dir / "gap.nmea.times", std::ios::binary) << "# times\n0 0\n" + secondAt + " 1000000000000000\n";
    std::ofstream(dir / "slow.nmea", std::ios::binary) << rmc(0) + "\r\n" + rmc(1) + "\r\n";
    std::ofstream(dir / "slow.nmea.times", std::ios::binary) << "# times\n0 0\n" + secondAt + " 600\n";
    struct Case {
        const char* name;
        const char* file;
        double speed;
    };
    for (const Case& c : {Case{"huge gap", "gap.nmea", 1.0}, Case{"tiny speed", "slow.nmea", 1e-12}}) {
        SCOPED_TRACE(c.name);
        sim::Options options;
        options.replayPath = (dir / c.file).string();
        options.replaySpeed = c.speed;
        sim::Simulator simulator(options);
        ASSERT_TRUE(simulator.start()) << simulator.error();
        EXPECT_GE(simulator.replaySpeed(), sim::kMinReplaySpeed);
        const auto lines = readLines(simulator.devicePath(), 2, 1.0);
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].line, rmc(0));
        simulator.setReplaySpeed(1e-300);
        EXPECT_EQ(simulator.replaySpeed(), sim::kMinReplaySpeed);
    }
}

}  // namespace
