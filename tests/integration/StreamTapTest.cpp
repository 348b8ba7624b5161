// SPDX-License-Identifier: BSD-2-Clause
// The recorder and the share on the real reader thread, fed by the simulated receiver, and
// read by gpsd's own tools where Debian's gpsd is installed.

#include <array>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include "stream/NmeaShare.h"
#include "serial/PortDiscovery.h"
#include "stream/StreamRecorder.h"
#include "fakes/TempDir.h"
#include "integration/GPSControllerHarness.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using harness::ControllerTest;
using namespace std::chrono_literals;

std::optional<std::string> findTool(const std::string& name)
{
    for (const char* dir : {"/usr/sbin", "/usr/bin", "/sbin", "/bin"}) {
        const fs::path path = fs::path(dir) / name;
        if (::access(path.c_str(), X_OK) == 0) return path.string();
    }
    return std::nullopt;
}

// Output of a command run by the shell (arguments are ours, not user text).
std::string capture(const std::string& command)
{
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        std::array<char, 4096> buffer;
        while (const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe))
            out.append(buffer.data(), n);
        ::pclose(pipe);
    }
    return out;
}

std::size_t count(const std::string& text, const std::string& needle)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
    return n;
}

class StreamTapTest : public ControllerTest {
protected:
    TempDir temp;
    const fs::path& dir = temp.path();
    std::size_t handled(const std::string& type) const
    {
        std::size_t n = 0;
        for (const auto& line : monitorView.lines)
            if (line.color == platform::Color::Green && line.text.find(type) == 3) ++n;
        return n;
    }
};

// What GPS Desk records is what the receiver sent, and gpsd's decoder finds in it one fix
// report per cycle GPS Desk handled.
TEST_F(StreamTapTest, RecordingHoldsTheStreamAndGpsdecodeReadsIt)
{
    sim::Options options;
    options.speedup = 10.0;
    options.rate = 38400;
    ASSERT_TRUE(startSimulator(options));
    PortDiscovery::addExtraPort(simulator->devicePath());
    restore(simulator->devicePath(), "38400");
    StreamRecorder recorder;
    controller().setLineTap(&recorder);
    const fs::path log = dir / "sim.nmea";
    ASSERT_TRUE(recorder.start(log, simulator->devicePath(), "38400"));
    wake();
    ASSERT_TRUE(until([&] { return handled("RMC") >= 20; }, 30.0));
    simulator->silence(60.0);
    // Wait for the line to go quiet, so the recording and the handled count describe the
    // same stream.
    std::size_t seen = 0;
    until([&] {
        const std::size_t now = monitorView.lines.size();
        const bool quiet = now == seen;
        seen = now;
        return quiet && now > 0;
    }, 1.0);
    until([] { return false; }, 0.5);
    controller().shutdown();
    recorder.stop();

    std::ifstream in(log, std::ios::binary);
    std::string header;
    std::getline(in, header);
    EXPECT_NE(header.find(", " + simulator->devicePath() + " at 38400, started "), std::string::npos);
    const std::string body((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // Every handled sentence is in the recording.
    EXPECT_EQ(count(body, "RMC,"), handled("RMC"));
    EXPECT_EQ(count(body, "GGA,"), handled("GGA"));

    const auto gpsdecode = findTool("gpsdecode");
    if (!gpsdecode) GTEST_SKIP() << "gpsdecode not installed (Debian gpsd-clients); skipped";
    const std::string reports = capture(*gpsdecode + " -j < " + log.string());
    const std::size_t tpv = count(reports, "\"class\":\"TPV\"");
    // gpsdecode reports a cycle when the next one begins: the last may be held back.
    EXPECT_GE(tpv + 1, handled("RMC"));
    EXPECT_LE(tpv, handled("RMC"));
}

// Debian's gpsd reads GPS Desk's share as if it were a receiver and reports 3D fixes at the
// simulator's position.
TEST_F(StreamTapTest, GpsdReadsTheShare)
{
    const auto gpsd = findTool("gpsd");
    const auto gpspipe = findTool("gpspipe");
    if (!gpsd || !gpspipe) GTEST_SKIP() << "gpsd or gpspipe not installed; skipped";

    sim::Options options;
    options.speedup = 5.0;
    options.rate = 38400;
    ASSERT_TRUE(startSimulator(options));
    PortDiscovery::addExtraPort(simulator->devicePath());
    restore(simulator->devicePath(), "38400");
    NmeaShare share;
    NmeaShare::Options shareOptions;
    shareOptions.port = 0;
    ASSERT_TRUE(share.start(shareOptions)) << share.error();
    controller().setLineTap(&share);
    wake();
    ASSERT_TRUE(until([&] { return handled("GGA") >= 1; }, 15.0));

    // gpsd on a port of its own, so a gpsd of the machine is not disturbed.
    const std::string gpsdPort = std::to_string(29470 + ::getpid() % 500);
    const std::string source = "tcp://127.0.0.1:" + std::to_string(share.boundPort());
    std::vector<std::string> args = {*gpsd, "-N", "-n", "-S", gpsdPort, source};
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t gpsdPid = -1;
    ASSERT_EQ(::posix_spawn(&gpsdPid, argv[0], nullptr, nullptr, argv.data(), environ), 0);

    // gpspipe runs while the main thread keeps taking sentences, so the share keeps going.
    std::string reports;
    std::atomic<bool> done{false};
    std::thread pipe([&] {
        std::this_thread::sleep_for(1500ms);
        reports = capture("timeout 20 " + *gpspipe + " -w -n 20 localhost:" + gpsdPort + " 2>&1");
        done.store(true);
    });
    until([&] { return done.load(); }, 30.0);
    pipe.join();
    ::kill(gpsdPid, SIGTERM);
    ::waitpid(gpsdPid, nullptr, 0);

    std::smatch fix;
    const std::regex tpv(R"re("class":"TPV".*?"mode":3.*?"lat":(4[0-9]\.[0-9]+),"lon":([0-9.]+))re");
    ASSERT_TRUE(std::regex_search(reports, fix, tpv)) << reports;
    // The simulated route runs near 48.16 N, 11.52 E.
    EXPECT_NEAR(std::stod(fix[1]), 48.16, 0.05);
    EXPECT_NEAR(std::stod(fix[2]), 11.52, 0.05);
    EXPECT_EQ(share.clientsDropped(), 0u);
}

}  // namespace
