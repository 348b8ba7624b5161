// SPDX-License-Identifier: BSD-2-Clause
#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "fakes/PseudoTerminal.h"
#include "sources/ByteSource.h"
#include "sources/GpsdSource.h"
#include "sources/TcpSource.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// One listening socket on 127.0.0.1 with an ephemeral port.
struct Listener {
    int fd = -1;
    std::uint16_t port = 0;
    Listener()
    {
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 4) != 0 ||
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            ::close(fd);
            fd = -1;
        }
        port = ntohs(address.sin_port);
    }
    ~Listener()
    {
        if (fd >= 0) ::close(fd);
    }
    int accept(std::chrono::milliseconds timeout) const
    {
        pollfd entry{fd, POLLIN, 0};
        if (::poll(&entry, 1, static_cast<int>(timeout.count())) <= 0) return -1;
        return ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
    }
};

std::string readFor(ByteSource& source, std::chrono::milliseconds total, const std::string& until)
{
    std::string got;
    const auto deadline = Clock::now() + total;
    std::uint8_t buffer[512];
    while (Clock::now() < deadline && got.find(until) == std::string::npos) {
        const auto result = source.read(buffer, 100ms);
        if (result.status == ByteSource::ReadStatus::Data) got.append(buffer, buffer + result.count);
        else if (result.status != ByteSource::ReadStatus::Quiet) break;
    }
    return got;
}

TEST(TcpSourceTest, ReadsWritesAndTellsQuietFromHungUp)
{
    Listener listener;
    ASSERT_GE(listener.fd, 0);
    TcpSource source("127.0.0.1", listener.port);
    ASSERT_TRUE(source.open(2s)) << source.message().key;
    const int peer = listener.accept(2s);
    ASSERT_GE(peer, 0);
    EXPECT_EQ(source.name(), "tcp://127.0.0.1:" + std::to_string(listener.port));

    std::uint8_t buffer[64];
    auto result = source.read(buffer, 50ms);
    EXPECT_EQ(result.status, ByteSource::ReadStatus::Quiet);

    const std::string sentence = "$GPGGA,1*00\r\n";
    ASSERT_EQ(::send(peer, sentence.data(), sentence.size(), 0), static_cast<ssize_t>(sentence.size()));
    EXPECT_EQ(readFor(source, 2s, "\n"), sentence);

    const std::string command = "$PMTK220,1000*1F\r\n";
    ASSERT_TRUE(source.write(std::span(reinterpret_cast<const std::uint8_t*>(command.data()), command.size())));
    char received[64] = {};
    pollfd entry{peer, POLLIN, 0};
    ASSERT_EQ(::poll(&entry, 1, 2000), 1);
    EXPECT_EQ(std::string(received, static_cast<std::size_t>(::recv(peer, received, sizeof received, 0))), command);

    ::close(peer);
    result = source.read(buffer, 2s);
    EXPECT_EQ(result.status, ByteSource::ReadStatus::HungUp);
    EXPECT_EQ(source.message().key, "NetClosedByPeer");
    EXPECT_FALSE(source.write(std::span(buffer, 1)));
}

TEST(TcpSourceTest, CancelEndsAWaitingReadAtOnce)
{
    Listener listener;
    ASSERT_GE(listener.fd, 0);
    TcpSource source("127.0.0.1", listener.port);
    ASSERT_TRUE(source.open(2s));
    const int peer = listener.accept(2s);
    std::thread canceller([&] {
        std::this_thread::sleep_for(100ms);
        source.cancel();
    });
    std::uint8_t buffer[16];
    const auto started = Clock::now();
    const auto result = source.read(buffer, 10s);
    canceller.join();
    EXPECT_EQ(result.status, ByteSource::ReadStatus::Cancelled);
    EXPECT_LT(Clock::now() - started, 2s);
    if (peer >= 0) ::close(peer);
}

TEST(TcpSourceTest, OpenFailuresSayWhy)
{
    std::uint16_t closedPort;
    {
        Listener listener;
        closedPort = listener.port;
    }
    TcpSource refused("127.0.0.1", closedPort);
    EXPECT_FALSE(refused.open(2s));
    EXPECT_EQ(refused.message().key, "NetConnectionRefused");
    EXPECT_EQ(refused.message().arguments.at(0), "127.0.0.1:" + std::to_string(closedPort));

    TcpSource unknown("no-such-host.invalid", 1);
    EXPECT_FALSE(unknown.open(2s));
    EXPECT_EQ(unknown.message().key, "NetUnknownHost");
}

TEST(TcpSourceTest, AddressesMakeTheirSource)
{
    SourceMessage why;
    EXPECT_NE(dynamic_cast<GpsdSource*>(makeByteSource(*SourceUrl::parse("gpsd://localhost", why)).get()), nullptr);
    auto tcp = makeByteSource(*SourceUrl::parse("tcp://localhost:1", why));
    ASSERT_NE(tcp, nullptr);
    EXPECT_EQ(dynamic_cast<GpsdSource*>(tcp.get()), nullptr);
    EXPECT_EQ(makeByteSource(*SourceUrl::parse("ntrip://u@h/M", why)), nullptr);
    EXPECT_EQ(makeByteSource(*SourceUrl::parse("/dev/ttyUSB0", why)), nullptr);
}

// Debian's gpsd reading a pseudo-terminal the test writes NMEA to, on a port of its own.
class GpsdSourceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (::access(kGpsd, X_OK) != 0) GTEST_SKIP() << "gpsd is not installed; skipped";
        ASSERT_TRUE(pty.ok());
        // gpsd may run as another user after dropping root; let it open the test's terminal.
        ::chmod(pty.slavePath().c_str(), 0666);
        {
            Listener probe;
            port = probe.port;
        }
        const std::string portText = std::to_string(port);
        gpsd = ::fork();
        if (gpsd == 0) {
            const int null = ::open("/dev/null", O_RDWR);
            ::dup2(null, 1);
            ::dup2(null, 2);
            ::execl(kGpsd, kGpsd, "-N", "-n", "-b", "-S", portText.c_str(), pty.slavePath().c_str(),
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ASSERT_GT(gpsd, 0);
        feeder = std::thread([this] {
            const std::string lines =
                "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n"
                "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n";
            for (int i = 0; i < 100 && !stopFeeding; ++i) {
                pty.write(lines);
                pty.readAll(std::chrono::milliseconds(100));  // drains what gpsd may send
            }
        });
    }
    void TearDown() override
    {
        stopFeeding = true;
        if (feeder.joinable()) feeder.join();
        if (gpsd > 0) {
            ::kill(gpsd, SIGTERM);
            int status = 0;
            const auto deadline = Clock::now() + 3s;
            while (::waitpid(gpsd, &status, WNOHANG) == 0) {
                if (Clock::now() > deadline) {
                    ::kill(gpsd, SIGKILL);
                    ::waitpid(gpsd, &status, 0);
                    break;
                }
                std::this_thread::sleep_for(20ms);
            }
        }
    }

    static constexpr const char* kGpsd = "/usr/sbin/gpsd";
    testpty::PseudoTerminal pty;
    std::uint16_t port = 0;
    pid_t gpsd = -1;
    std::atomic<bool> stopFeeding{false};
    std::thread feeder;
};

TEST_F(GpsdSourceTest, PassesTheReceiversSentencesAndRefusesConfiguration)
{
    GpsdSource source("127.0.0.1", port, pty.slavePath());
    // gpsd needs a moment to listen.
    bool opened = false;
    for (int attempt = 0; attempt < 50 && !opened; ++attempt) {
        opened = source.open(1s);
        if (!opened) std::this_thread::sleep_for(100ms);
    }
    ASSERT_TRUE(opened) << source.message().key;
    const std::string got = readFor(source, 5s, "$GPRMC,123519,A");
    EXPECT_NE(got.find("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n"),
              std::string::npos)
        << got;
    EXPECT_EQ(got.find("{\"class\""), std::string::npos) << got;

    const std::string command = "$PMTK220,1000*1F\r\n";
    EXPECT_FALSE(source.write(std::span(reinterpret_cast<const std::uint8_t*>(command.data()), command.size())));
    EXPECT_EQ(source.message().key, "GpsdWriteRefused");
    source.close();
}

}  // namespace
