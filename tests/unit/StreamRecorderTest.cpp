// SPDX-License-Identifier: BSD-2-Clause
#include "stream/StreamRecorder.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>
#include <string>
#include <thread>

#include <sys/resource.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "fakes/TempDir.h"
#include "platform/Services.h"
#include "posix/StringsBundle.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string slurp(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

ByteBuffer bytes(const std::string& text)
{
    return ByteBuffer(text.begin(), text.end());
}

class StreamRecorderTest : public ::testing::Test {
protected:
    // The English texts, so that what is asserted is what the user reads.
    void SetUp() override
    {
        saved = platform::services();
        platform::services().bundle = &english;
    }
    void TearDown() override { platform::services() = saved; }

    platform::posix::StringsBundle english{fs::path(GPSDESK_SOURCE_DIR) / "resources",
                                           std::vector<std::string>{"en"}};
    platform::Services saved;
    TempDir temp;
    const fs::path& dir = temp.path();
};

TEST_F(StreamRecorderTest, KeepsEveryLineAsReceivedWithItsArrivalOffset)
{
    const std::vector<std::string> lines = {
        "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n",
        "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*FF\r\n",  // bad sum
        std::string("\x01\xff garbage\x00 with NUL\n", 21),
        "$PSRF150,1*3E\n",  // LF only
    };
    StreamRecorder recorder;
    const fs::path log = dir / "drive.nmea";
    ASSERT_TRUE(recorder.start(log, "/dev/ttyUSB0", "4800")) << recorder.error();
    EXPECT_TRUE(recorder.recording());
    for (const auto& line : lines) recorder.lineReceived(bytes(line));
    recorder.stop();
    EXPECT_FALSE(recorder.recording());
    recorder.lineReceived(bytes("$GPGLL,late*00\r\n"));  // after stop: not written

    const std::string text = slurp(log);
    const std::size_t headerEnd = text.find('\n') + 1;
    const std::string header = text.substr(0, headerEnd);
    EXPECT_EQ(header.rfind("# GPS Desk " GPSDESK_VERSION ", /dev/ttyUSB0 at 4800, started ", 0), 0u)
        << header;
    std::string body;
    for (const auto& line : lines) body += line;
    EXPECT_EQ(text.substr(headerEnd), body);
    EXPECT_EQ(recorder.bytesWritten(), text.size());

    // Every times entry points at the start of the line it times, in order.
    std::istringstream times(slurp(log.string() + ".times"));
    std::string entry;
    std::getline(times, entry);
    EXPECT_EQ(entry.front(), '#');
    std::size_t offset = headerEnd;
    std::uint64_t previous = 0;
    for (const auto& line : lines) {
        SCOPED_TRACE(line);
        std::uint64_t at = 0, milliseconds = 0;
        ASSERT_TRUE(times >> at >> milliseconds);
        EXPECT_EQ(at, offset);
        EXPECT_GE(milliseconds, previous);
        previous = milliseconds;
        offset += line.size();
    }
    EXPECT_FALSE(times >> entry);
}

TEST_F(StreamRecorderTest, UnwritableFileIsRefusedWithTheReason)
{
    StreamRecorder recorder;
    EXPECT_FALSE(recorder.start(dir / "missing" / "x.nmea", "p", "4800"));
    EXPECT_NE(recorder.error().find("No such file"), std::string::npos) << recorder.error();
    EXPECT_FALSE(recorder.recording());
}

// A name in a shared folder may be a link planted by someone else, or a device or FIFO: the
// file behind it keeps its content, and the user is told why nothing was recorded.
TEST_F(StreamRecorderTest, PlantedLinksAndNonFilesAreRefusedUntouched)
{
    const fs::path victim = dir / "victim.conf";
    std::ofstream(victim) << "precious\n";
    const fs::path link = dir / "drive.nmea";
    fs::create_symlink(victim, link);
    const fs::path fifo = dir / "pipe.nmea";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::ofstream(dir / "plain.nmea") << "older recording\n";
    fs::create_symlink(victim, dir / "plain.nmea.times");

    struct Case {
        const char* name;
        fs::path log;
        fs::path times;  // empty: beside the log
        const char* why;
    };
    const Case cases[] = {
        {"log is a link", link, {}, "symbolic link"},
        {"times file is a link", dir / "plain.nmea", {}, "symbolic link"},
        {"dangling link", dir / "dangling.nmea", {}, "symbolic link"},
        {"FIFO", fifo, dir / "f.times", "not a plain file"},
        {"device", "/dev/null", dir / "d.times", "not a plain file"},
        {"folder", dir, dir / "x.times", "not a plain file"},
    };
    fs::create_symlink(dir / "nowhere", dir / "dangling.nmea");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StreamRecorder recorder;
        EXPECT_FALSE(recorder.start(c.log, "p", "4800", c.times));
        EXPECT_NE(recorder.error().find(c.why), std::string::npos) << recorder.error();
        EXPECT_FALSE(recorder.recording());
    }
    EXPECT_EQ(slurp(victim), "precious\n");
    EXPECT_FALSE(fs::exists(dir / "nowhere"));
    // The refused times file did not cost the earlier recording beside it.
    EXPECT_EQ(slurp(dir / "plain.nmea"), "older recording\n");
}

// A file that cannot grow (as on a full disk) ends the recording by itself, at a whole line,
// and tells the listener; lines offered after that are ignored without harm.
TEST_F(StreamRecorderTest, FullDiskStopsTheRecordingAtALineBoundary)
{
    constexpr rlim_t kLimit = 32 * 1024;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit limited = old;
    limited.rlim_cur = kLimit;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);

    std::promise<std::pair<StreamRecorder::StopReason, int>> stopped;
    StreamRecorder recorder;
    recorder.setStopListener([&](StreamRecorder::StopReason reason, int error) {
        stopped.set_value({reason, error});
    });
    const fs::path log = dir / "full.nmea";
    ASSERT_TRUE(recorder.start(log, "/dev/pts/9", "9600"));
    const std::string line = "$GPGSV,3,1,12,01,40,083,46,02,17,308,41,12,07,344,39,14,22,228,45*75\r\n";
    auto result = stopped.get_future();
    for (int i = 0; i < 2000 && result.wait_for(0s) != std::future_status::ready; ++i) {
        recorder.lineReceived(bytes(line));
        if (i % 100 == 99) std::this_thread::sleep_for(5ms);
    }
    ASSERT_EQ(result.wait_for(5s), std::future_status::ready);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    const auto [reason, error] = result.get();
    EXPECT_EQ(reason, StreamRecorder::StopReason::WriteFailed);
    EXPECT_EQ(error, EFBIG);
    EXPECT_FALSE(recorder.recording());
    recorder.lineReceived(bytes(line));
    recorder.stop();

    const std::string text = slurp(log);
    EXPECT_LE(text.size(), kLimit);
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ((text.size() - (text.find('\n') + 1)) % line.size(), 0u);
    EXPECT_EQ(recorder.bytesWritten(), text.size());
}

}  // namespace
