// SPDX-License-Identifier: BSD-2-Clause
#include "sim/Simulator.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>

#include "serial/ReceiverCommands.h"
#include "fakes/TempDir.h"
#include "fakes/TestData.h"
#include "serial/Serial.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using sim::Sentence;

struct Line {
    std::string text;
    Clock::time_point at;
};

std::string text(const ByteBuffer& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

ByteBuffer bytes(const std::string& text)
{
    return ByteBuffer(text.begin(), text.end());
}

// For a line without its CR LF.
bool checksumValid(const std::string& line)
{
    const std::size_t star = line.rfind('*');
    if (line.empty() || line[0] != '$' || star == std::string::npos || star + 3 != line.size())
        return false;
    unsigned sum = 0;
    for (std::size_t i = 1; i < star; ++i) sum ^= static_cast<unsigned char>(line[i]);
    char expected[3];
    std::snprintf(expected, sizeof expected, "%02X", sum);
    return line.compare(star + 1, 2, expected) == 0;
}

// Lines read for the given time (a failed read is recorded as an empty text).
std::vector<Line> readFor(Serial& port, Clock::duration span)
{
    std::vector<Line> lines;
    const auto end = Clock::now() + span;
    while (Clock::now() < end) {
        const auto line = port.readPortUntilChar(10, 256);
        lines.push_back({line ? text(*line) : std::string(), Clock::now()});
        if (!line && port.hungUp()) break;
    }
    return lines;
}

template <typename Predicate>
bool eventually(Predicate predicate, Clock::duration timeout = 2s)
{
    const auto end = Clock::now() + timeout;
    while (!predicate()) {
        if (Clock::now() > end) return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

std::string type(const std::string& line)
{
    return line.size() > 6 && line[0] == '$' ? line.substr(3, 3) : std::string();
}

int timeOfDay(const std::string& line)
{
    const std::size_t comma = line.find(',');
    const std::string hhmmss = line.substr(comma + 1, 6);
    return std::stoi(hhmmss.substr(0, 2)) * 3600 + std::stoi(hhmmss.substr(2, 2)) * 60
           + std::stoi(hhmmss.substr(4, 2));
}

std::filesystem::path tempPath(const std::string& name)
{
    return std::filesystem::temp_directory_path()
           / ("gpsdesk-sim-test-" + std::to_string(::getpid()) + "-" + name);
}

class SimulatorTest : public ::testing::Test {
protected:
    // The port stays at 4800 while these tests switch the receiver's rate: the protocol is
    // their subject, not the line speed.
    bool startWith(sim::Options options)
    {
        options.garbleAtWrongSpeed = false;
        simulator = std::make_unique<sim::Simulator>(std::move(options));
        if (!simulator->start()) {
            ADD_FAILURE() << simulator->error();
            return false;
        }
        return port.openPort(simulator->devicePath(), "4800", false);
    }
    // Unpaced at ten times real time: the protocol tests need no line timing.
    static sim::Options quickOptions()
    {
        sim::Options options;
        options.unpaced = true;
        options.speedup = 10;
        return options;
    }
    // A quick simulator with the receiver commanded at 9600.
    bool startQuick(ReceiverCommands& commands)
    {
        if (!startWith(quickOptions())) return false;
        commands.setPort(&port, simulator->devicePath(), "9600");
        return true;
    }
    void TearDown() override
    {
        port.closePort();
        if (simulator) simulator->stop();
    }

    std::unique_ptr<sim::Simulator> simulator;
    Serial port;
};

TEST_F(SimulatorTest, ConnectSequenceLeavesGsaAndGsvEveryFiveSecondsTheRestEverySecond)
{
    const auto record = tempPath("record");
    sim::Options options = quickOptions();
    options.recordPath = record.string();
    ASSERT_TRUE(startWith(options));

    ReceiverCommands commands;
    commands.setPort(&port, simulator->devicePath(), "4800");
    commands.initialize();
    commands.waitForInitialize();
    commands.setNMEA();
    EXPECT_EQ(simulator->bannersSent(), 1u);
    ASSERT_TRUE(eventually([&] { return simulator->periodSeconds(Sentence::VTG) == 1
                                        && simulator->periodSeconds(Sentence::GSV) == 5; }));

    // Group by the time field of each second's GGA.
    std::map<int, std::multiset<std::string>> seconds;
    int current = -1;
    for (const auto& line : readFor(port, 2500ms)) {
        ASSERT_TRUE(line.text.empty() || checksumValid(line.text.substr(0, line.text.size() - 2)))
            << line.text;
        if (type(line.text) == "GGA") current = timeOfDay(line.text);
        if (current >= 0) seconds[current].insert(type(line.text));
    }
    // Drop the first two seconds (the periods may have changed inside them) and the last.
    ASSERT_GE(seconds.size(), 18u);
    seconds.erase(seconds.begin());
    seconds.erase(seconds.begin());
    seconds.erase(std::prev(seconds.end()));

    std::vector<int> withGsa;
    int previous = -1;
    for (const auto& [second, types] : seconds) {
        SCOPED_TRACE("second " + std::to_string(second));
        if (previous >= 0) {
            EXPECT_EQ(second, previous + 1) << "a second went missing";
        }
        previous = second;
        for (const char* every : {"GGA", "GLL", "RMC", "VTG"}) EXPECT_EQ(types.count(every), 1u) << every;
        EXPECT_EQ(types.count("GSA") == 1, types.count("GSV") >= 1);
        if (types.count("GSA")) withGsa.push_back(second);
    }
    ASSERT_GE(withGsa.size(), 3u);
    for (std::size_t i = 1; i < withGsa.size(); ++i) EXPECT_EQ(withGsa[i] - withGsa[i - 1], 5);

    // The record holds exactly what the application sent.
    std::ifstream file(record, std::ios::binary);
    const std::string recorded((std::istreambuf_iterator<char>(file)), {});
    EXPECT_EQ(recorded,
              "$PSRF100,1,4800,8,1,0*0E\r\n"
              "$PSRF103,00,00,01,01*25\r\n$PSRF103,01,00,01,01*24\r\n"
              "$PSRF103,02,00,05,01*23\r\n$PSRF103,03,00,05,01*22\r\n"
              "$PSRF103,04,00,01,01*21\r\n$PSRF103,05,00,01,01*20\r\n");
    EXPECT_EQ(text(ByteBuffer(simulator->received())), recorded);
    std::filesystem::remove(record);
}

// Seconds from a second's GGA to its RMC: about 390 bytes of output in between.
double cycleSpan(Serial& port)
{
    Clock::time_point ggaAt{};
    int ggaSecond = -1;
    const auto end = Clock::now() + 4s;
    while (Clock::now() < end) {
        const auto line = port.readPortUntilChar(10, 256);
        if (!line) continue;
        const std::string t = text(*line);
        if (type(t) == "GGA") {
            ggaAt = Clock::now();
            ggaSecond = timeOfDay(t);
        } else if (type(t) == "RMC" && ggaSecond == timeOfDay(t)) {
            return std::chrono::duration<double>(Clock::now() - ggaAt).count();
        }
    }
    return -1;
}

TEST_F(SimulatorTest, OutputIsPacedAtTheLineRateAndARateSwitchTakesEffect)
{
    ASSERT_TRUE(startWith(sim::Options{}));
    const double slow = cycleSpan(port);
    EXPECT_GT(slow, 0.5) << "about 390 bytes at 4800 bit/s take 0.8 s";

    ReceiverCommands commands;
    commands.setPort(&port, simulator->devicePath(), "38400");
    commands.initialize();
    commands.waitForInitialize();
    EXPECT_EQ(simulator->rate(), 38400u);
    EXPECT_EQ(simulator->bannersSent(), 1u);
    const double fast = cycleSpan(port);
    EXPECT_GT(fast, 0.0);
    EXPECT_LT(fast, 0.3) << "the same bytes at 38400 bit/s take 0.1 s";
}

TEST_F(SimulatorTest, PacedOutputKeepsTenBitsAByteWithoutDrift)
{
    // A log of equal lines, looped: the line is never idle, so every line starts at the
    // moment the one before it has left the wire.
    const auto log = tempPath("paced.log");
    const std::string body = "$GPTXT,01,01,02,PACING TEST LINE 0123456789 ABCDEFGHIJKLMNOP";
    {
        std::ofstream out(log);
        for (int i = 0; i < 10; ++i) out << body << "\r\n";
    }
    const std::size_t lineBytes = body.size() + 2;
    for (const std::uint32_t rate : {4800u, 38400u}) {
        SCOPED_TRACE("rate " + std::to_string(rate));
        port.closePort();
        if (simulator) simulator->stop();
        sim::Options options;
        options.replayPath = log.string();
        options.loop = true;
        options.rate = rate;
        ASSERT_TRUE(startWith(options));
        ASSERT_TRUE(port.readPortUntilChar(10, 256).has_value());

        const auto lines = readFor(port, 3s);
        ASSERT_GE(lines.size(), 10u);
        for (const auto& line : lines) ASSERT_EQ(line.text, body + "\r\n");
        const double seconds = std::chrono::duration<double>(lines.back().at - lines.front().at).count();
        const double bitsPerSecond = static_cast<double>((lines.size() - 1) * lineBytes * 10) / seconds;
        // Never faster than the line; a loaded machine (sanitizers, parallel tests) may only
        // make it somewhat slower.
        EXPECT_LE(bitsPerSecond, rate * 1.05);
        EXPECT_GE(bitsPerSecond, rate * 0.75);
    }
    std::filesystem::remove(log);
}

TEST_F(SimulatorTest, BinaryModeStopsNmeaAndMessage129BringsItBack)
{
    ReceiverCommands commands;
    ASSERT_TRUE(startQuick(commands));

    // Input with a bad checksum is ignored.
    ASSERT_EQ(port.writePort(bytes("$PSRF103,00,00,05,01*00\r\n")), 25u);
    ASSERT_TRUE(simulator->waitForReceived(25, 1s));
    ASSERT_TRUE(commands.sendNMEACommand(bytes("$PSRF105,1")));
    ASSERT_TRUE(eventually([&] { return simulator->debugOn(); }));
    EXPECT_EQ(simulator->periodSeconds(Sentence::GGA), 1);

    ASSERT_TRUE(commands.sendNMEACommand(bytes("$PSRF100,0,9600,8,1,0")));
    ASSERT_TRUE(eventually([&] { return simulator->binaryMode(); }));
    std::this_thread::sleep_for(100ms);
    const auto quietFrom = simulator->bytesSent();
    std::this_thread::sleep_for(400ms);  // four simulated seconds
    EXPECT_EQ(simulator->bytesSent(), quietFrom) << "NMEA went on in binary mode";

    // A frame with a broken checksum changes nothing.
    ByteBuffer broken = ReceiverCommands::binaryFrame(ReceiverCommands::switchToNmeaPayload("9600"));
    broken[broken.size() - 3] ^= 0x01;
    const std::size_t before = simulator->received().size();
    ASSERT_EQ(port.writePort(broken), broken.size());
    ASSERT_TRUE(simulator->waitForReceived(before + broken.size(), 1s));
    EXPECT_TRUE(simulator->binaryMode());

    commands.setWAAS(true);
    ASSERT_TRUE(eventually([&] { return !simulator->binaryMode(); }));
    EXPECT_EQ(simulator->dgpsSource(), 1);
    EXPECT_EQ(simulator->rate(), 9600u);
    for (int s = 0; s < sim::kSentenceCount; ++s) EXPECT_EQ(simulator->periodSeconds(Sentence(s)), 1);
    EXPECT_EQ(simulator->commandsAccepted(),
              (std::vector<std::string>{"$PSRF105,1", "$PSRF100,0,9600,8,1,0", "binary 133",
                                        "binary 129"}))
        << "in binary mode the second $PSRF100 of setWAAS is not understood";
    bool nmeaBack = false;
    for (const auto& line : readFor(port, 1s)) nmeaBack |= type(line.text) == "GGA";
    EXPECT_TRUE(nmeaBack);
}

TEST_F(SimulatorTest, IdentReturnsTheBannerFromVersionToTheLineEnd)
{
    sim::Options options;
    options.banner = "AB$Version 1";
    simulator = std::make_unique<sim::Simulator>(options);
    ASSERT_TRUE(simulator->start()) << simulator->error();
    ReceiverCommands commands;
    commands.setPort(nullptr, simulator->devicePath(), "4800");
    EXPECT_EQ(commands.ident().value_or("(nothing)"), "Version 1\r\n");
}

TEST_F(SimulatorTest, UnplugIsSeenAsAHangUpWithinATenthOfASecondWithoutSpinning)
{
    for (const bool quiet : {false, true}) {
        SCOPED_TRACE(quiet ? "quiet line" : "streaming");
        simulator.reset();
        port.closePort();
        ASSERT_TRUE(startWith(sim::Options{}));
        if (quiet) simulator->silence(30);

        std::atomic<bool> running{true};
        Clock::time_point endedAt{};
        double cpuSeconds = 0;
        std::thread reader([&] {
            while (running.load()) {
                if (!port.readPortUntilChar(10, 256) && port.hungUp()) break;
            }
            endedAt = Clock::now();
            timespec cpu;
            clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu);
            cpuSeconds = static_cast<double>(cpu.tv_sec) + static_cast<double>(cpu.tv_nsec) / 1e9;
        });
        std::this_thread::sleep_for(600ms);
        const auto unpluggedAt = Clock::now();
        simulator->unplug();
        std::this_thread::sleep_for(300ms);
        running.store(false);
        reader.join();

        EXPECT_TRUE(port.hungUp());
        EXPECT_TRUE(simulator->unplugged());
        EXPECT_LT(std::chrono::duration<double>(endedAt - unpluggedAt).count(), 0.1);
        EXPECT_LT(cpuSeconds, 0.1) << "the reader should sleep in the kernel, not spin";
    }
}

TEST_F(SimulatorTest, FaultsReachTheReaderAsBrokenInput)
{
    const struct {
        const char* name;
        double sim::Faults::*share;
    } cases[] = {
        {"bad checksums", &sim::Faults::badChecksumShare},
        {"cut lines", &sim::Faults::cutShare},
        {"over-long lines", &sim::Faults::overlongShare},
        {"binary noise", &sim::Faults::noiseShare},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        port.closePort();
        sim::Options options = quickOptions();
        options.faults.*c.share = 1.0;
        ASSERT_TRUE(startWith(options));
        // Long enough for a dozen lines even on a loaded machine.
        int valid = 0, broken = 0, failed = 0, nonAscii = 0;
        for (const auto& line : readFor(port, 1500ms)) {
            if (line.text.empty()) {
                ++failed;
            } else if (checksumValid(line.text.substr(0, line.text.size() - 2))) {
                ++valid;
            } else {
                ++broken;
            }
            for (const unsigned char ch : line.text) nonAscii += ch >= 0x80;
        }
        if (c.share == &sim::Faults::overlongShare) {
            EXPECT_GT(failed, 5) << "a 300-byte line must fail the line read";
            EXPECT_GT(valid, 5);
        } else if (c.share == &sim::Faults::noiseShare) {
            EXPECT_GT(nonAscii, 0);
            EXPECT_GT(broken, 0);
        } else {
            EXPECT_EQ(valid, 0);
            EXPECT_GT(broken, 10);
        }
    }
}

TEST_F(SimulatorTest, AWrongLineSpeedTurnsBothDirectionsToNoise)
{
    sim::Options options;
    options.rate = 38400;
    simulator = std::make_unique<sim::Simulator>(options);
    ASSERT_TRUE(simulator->start()) << simulator->error();
    const auto validLines = [](Serial& serial) {
        int valid = 0;
        for (const auto& line : readFor(serial, 1500ms))
            valid += line.text.size() > 2 && checksumValid(line.text.substr(0, line.text.size() - 2));
        return valid;
    };

    ASSERT_TRUE(port.openPort(simulator->devicePath(), "4800", false));
    EXPECT_EQ(validLines(port), 0);
    ReceiverCommands commands;
    commands.setPort(&port, simulator->devicePath(), "4800");
    ASSERT_TRUE(commands.sendNMEACommand(bytes("$PSRF105,1")));
    ASSERT_TRUE(simulator->waitForReceived(15, 1s));
    EXPECT_FALSE(simulator->debugOn()) << "a command at the wrong speed was understood";
    port.closePort();

    Serial matching;
    ASSERT_TRUE(matching.openPort(simulator->devicePath(), "38400", false));
    EXPECT_GE(validLines(matching), 5);
}

TEST_F(SimulatorTest, ReplaySendsTheLogsSentencesInOrder)
{
    REQUIRE_TESTDATA(data);
    const auto log = data / "nmea" / "nd-1005.log";
    std::vector<std::string> expected;
    std::ifstream in(log);
    for (std::string line; std::getline(in, line);) {
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
        if (!line.empty() && (line[0] == '$' || line[0] == '!')) expected.push_back(line + "\r\n");
    }
    ASSERT_FALSE(expected.empty());

    const auto link = tempPath("link");
    sim::Options options;
    options.replayPath = log.string();
    options.rate = 115200;
    options.linkPath = link.string();
    // Open through the link, before any output: nothing of the log may be lost.
    simulator = std::make_unique<sim::Simulator>(options);
    ASSERT_TRUE(simulator->start()) << simulator->error();
    ASSERT_TRUE(port.openPort(link.string(), "115200", false));
    std::vector<std::string> got;
    while (got.size() < expected.size()) {
        const auto line = port.readPortUntilChar(10, 256);
        if (!line) break;
        got.push_back(text(*line));
    }
    // The simulator may have sent the first lines before the port was opened and flushed.
    ASSERT_GE(got.size(), 10u);
    EXPECT_EQ(got, std::vector<std::string>(expected.begin() + static_cast<long>(expected.size() - got.size()),
                                            expected.end()));
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), simulator->devicePath());
    simulator->stop();
    EXPECT_FALSE(std::filesystem::is_symlink(link)) << "the link outlived the simulator";
}

}  // namespace

TEST_F(SimulatorTest, ColdRestartCommandTakesTheFixAwayForAWhile)
{
    ReceiverCommands commands;
    ASSERT_TRUE(startQuick(commands));
    commands.restart(RestartDepth::Cold);
    ASSERT_TRUE(eventually([&] { return !simulator->commandsAccepted().empty(); }));
    EXPECT_EQ(simulator->commandsAccepted(), std::vector<std::string>{"$PSRF101,0,0,0,0,0,0,12,4"});
    // The next two simulated seconds: no fix, no signal.
    int ggaWithoutFix = 0;
    for (const auto& line : readFor(port, 300ms)) {
        if (type(line.text) != "GGA") continue;
        ggaWithoutFix += line.text.find(",0,00,") != std::string::npos;
    }
    EXPECT_GE(ggaWithoutFix, 1);
}

// The simulator's record of what the application sent is a file the user names: never
// written through a link planted there.
TEST(SimulatorRecordTest, RefusesAPlantedLinkAndKeepsItsTarget)
{
    TempDir dir;
    const auto victim = dir.path() / "victim.conf";
    std::ofstream(victim) << "precious\n";
    const auto link = dir.path() / "sent.bin";
    std::filesystem::create_symlink(victim, link);
    sim::Options options;
    options.recordPath = link.string();
    sim::Simulator simulator(options);
    EXPECT_FALSE(simulator.start());
    EXPECT_NE(simulator.error().find(link.string()), std::string::npos) << simulator.error();
    std::ifstream in(victim);
    std::string kept;
    std::getline(in, kept);
    EXPECT_EQ(kept, "precious");
}
