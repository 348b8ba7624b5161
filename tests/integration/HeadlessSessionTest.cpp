// SPDX-License-Identifier: BSD-2-Clause
// Headless on a pseudo-terminal: the same road as the window, from the first line on.

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "app/GPSSettingsController.h"
#include "headless/HeadlessSession.h"
#include "sources/ByteSource.h"
#include "sources/CorrectionQueue.h"
#include "sources/SourceUrl.h"
#include "stream/LineTap.h"
#include "fakes/PseudoTerminal.h"
#include "sim/Simulator.h"

namespace {

using namespace std::chrono_literals;
using testpty::PseudoTerminal;

std::string withChecksum(const std::string& body)
{
    unsigned sum = 0;
    for (const char c : body) sum ^= static_cast<unsigned char>(c);
    char trailer[8];
    std::snprintf(trailer, sizeof trailer, "*%02X\r\n", sum);
    return "$" + body + trailer;
}

struct CountingTap : LineTap {
    std::atomic<int> raw{0}, accepted{0};
    void lineReceived(const ByteBuffer&) override { ++raw; }
    void sentenceAccepted(const ByteBuffer&) override { ++accepted; }
};

struct Collected {
    std::mutex mutex;
    std::vector<std::string> reports, messages;

    std::size_t countReports(const std::string& part)
    {
        std::lock_guard lock(mutex);
        std::size_t n = 0;
        for (const auto& r : reports) n += r.find(part) != std::string::npos;
        return n;
    }
    // Sinks for a session that keep what it writes and says.
    HeadlessSession::Sink toReports()
    {
        return [this](const std::string& line) {
            std::lock_guard lock(mutex);
            reports.push_back(line);
        };
    }
    HeadlessSession::Sink toMessages()
    {
        return [this](const std::string& line) {
            std::lock_guard lock(mutex);
            messages.push_back(line);
        };
    }

    bool saidSomething(const std::string& part)
    {
        std::lock_guard lock(mutex);
        for (const auto& m : messages)
            if (m.find(part) != std::string::npos) return true;
        return false;
    }
};

template <typename Condition>
bool until(Condition condition, std::chrono::milliseconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) return true;
        std::this_thread::sleep_for(10ms);
    }
    return condition();
}

// A 1 Hz receiver once lost its first 15 seconds at every connect: the wait for the
// receiver's banner read them and threw them away. Now they are reported and recorded.
TEST(HeadlessSession, TheLinesReadWhileTheBannerIsAwaitedAreReportedAndTapped)
{
    PseudoTerminal pty;
    ASSERT_TRUE(pty.ok());
    Collected seen;
    CountingTap tap;
    HeadlessSession session(
        seen.toReports(),
        seen.toMessages(),
        &tap);
    std::thread reader([&] { session.run(pty.slavePath(), "4800"); });
    ASSERT_TRUE(until([&] { return seen.saidSomething("headless.readingPort"); }, 5000ms));

    constexpr int kSeconds = 20;
    std::string lines;
    for (int second = 0; second < kSeconds; ++second) {
        char body[96];
        std::snprintf(body, sizeof body, "GPRMC,1200%02d.00,A,4807.038,N,01131.000,E,0.5,54.7,081226,,,A",
                      second);
        lines += withChecksum(body);
    }
    ASSERT_TRUE(pty.write(lines));
    EXPECT_TRUE(until([&] { return seen.countReports("\"class\":\"TPV\"") >= kSeconds; }, 10000ms));
    session.stop();
    reader.join();

    EXPECT_EQ(seen.countReports("\"time\":\"2026-12-08T12:00:00.000Z\""), 1u) << "the very first line";
    EXPECT_EQ(seen.countReports("\"time\":\"2026-12-08T12:00:19.000Z\""), 1u);
    EXPECT_EQ(tap.accepted.load(), kSeconds);
    EXPECT_EQ(session.sentencesHandled(), static_cast<std::uint64_t>(kSeconds));
}

// Cut short by --quit-after before any rate answered: said as such, not as "no rate gave
// valid sentences".
TEST(HeadlessSession, AnAutomaticRateCutShortSaysSo)
{
    PseudoTerminal pty;
    ASSERT_TRUE(pty.ok());
    Collected seen;
    HeadlessSession session([](const std::string&) {},
                            seen.toMessages());
    std::atomic<bool> used{true};
    std::thread reader([&] { used = session.run(pty.slavePath(), GPSSettingsController::kAutomaticRate); });
    std::this_thread::sleep_for(500ms);
    session.stop();
    reader.join();
    EXPECT_FALSE(used.load());
    EXPECT_TRUE(seen.saidSomething("DoctorRateCutShort"));
    EXPECT_FALSE(seen.saidSomething("DoctorRateNotFound"));
}

// Corrections reach the receiver whole, between reads, and nothing else is written inside
// them.
TEST(HeadlessSession, CorrectionsAreWrittenToTheReceiverWholeBetweenReads)
{
    PseudoTerminal pty;
    ASSERT_TRUE(pty.ok());
    Collected seen;
    CorrectionQueue corrections;
    HeadlessSession session([](const std::string&) {},
                            seen.toMessages());
    session.setCorrections(&corrections);
    std::thread reader([&] { session.run(pty.slavePath(), "4800"); });
    ASSERT_TRUE(until([&] { return seen.saidSomething("headless.readingPort"); }, 5000ms));
    ASSERT_TRUE(pty.write("$Version test\r\n"));  // ends the wait for the banner
    std::string written = pty.readAll(std::chrono::milliseconds(700));  // the setup sentences
    const std::vector<std::uint8_t> first{0xD3, 0x00, 0x03, 0x3E, 0xD0, 0x00, 0x11, 0x22, 0x33};
    const std::vector<std::uint8_t> second{0xD3, 0x00, 0x02, 0x40, 0xE0, 0xAA, 0xBB, 0xCC};
    corrections.push(first);
    corrections.push(second);
    written = pty.readAll(std::chrono::milliseconds(1500));
    session.stop();
    reader.join();
    const std::string expected(first.begin(), first.end());
    const std::string expectedToo(second.begin(), second.end());
    EXPECT_EQ(written, expected + expectedToo);
}

// A receiver on the network (tcp://) is read through the same road as a serial port.
TEST(HeadlessSession, ATcpSourceIsReadLikeAPort)
{
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 1), 0);
    socklen_t length = sizeof address;
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const int port = ntohs(address.sin_port);
    std::thread server([listener] {
        const int client = ::accept(listener, nullptr, nullptr);
        if (client < 0) return;
        std::string lines;
        for (int second = 0; second < 3; ++second) {
            char body[96];
            std::snprintf(body, sizeof body, "GPRMC,1300%02d.00,A,4807.038,N,01131.000,E,0.5,54.7,081226,,,A", second);
            lines += withChecksum(body);
        }
        (void)!::write(client, lines.data(), lines.size());
        std::this_thread::sleep_for(300ms);
        ::close(client);  // the receiver goes away: the session ends
    });
    SourceMessage whyNot;
    const auto url = SourceUrl::parse("tcp://127.0.0.1:" + std::to_string(port), whyNot);
    ASSERT_TRUE(url);
    auto source = makeByteSource(*url);
    ASSERT_TRUE(source);
    Collected seen;
    HeadlessSession session(
        seen.toReports(),
        [](const std::string&) {});
    EXPECT_TRUE(session.runSource(*source));  // ends when the server hangs up
    server.join();
    ::close(listener);
    EXPECT_EQ(seen.countReports("\"class\":\"TPV\""), 3u);
    EXPECT_EQ(seen.countReports("\"time\":\"2026-12-08T13:00:02.000Z\""), 1u);
}

// Configuration end to end against the simulated generation-9 receiver: a rate the receiver
// takes makes reports come five times a second; a value it refuses is told with the key named
// and fails the run.
TEST(HeadlessSession, ConfigurationIsConfirmedOrRefusedByTheReceiver)
{
    for (const bool refused : {false, true}) {
        SCOPED_TRACE(refused ? "refused" : "taken");
        sim::Options options;
        options.protocol = sim::Protocol::Ubx;
        options.rate = 38400;
        sim::Simulator simulator(options);
        ASSERT_TRUE(simulator.start()) << simulator.error();
        Collected seen;
        HeadlessSession session(
            seen.toReports(),
            seen.toMessages());
        const auto value = binary::parseUbxConfigAssignment(refused ? "CFG-UART1-BAUDRATE=12345" : "CFG-RATE-MEAS=200");
        ASSERT_TRUE(value.value);
        session.setConfiguration({*value.value}, false);
        std::thread reader([&] { session.run(simulator.devicePath(), "38400"); });
        const std::string answer = refused ? "ConfigRefused" : "ConfigAccepted";
        EXPECT_TRUE(until([&] { return seen.saidSomething(answer); }, 10000ms));
        const std::size_t before = seen.countReports("\"class\":\"TPV\"");
        std::this_thread::sleep_for(2000ms);
        const std::size_t inTwoSeconds = seen.countReports("\"class\":\"TPV\"") - before;
        session.stop();
        reader.join();
        simulator.stop();
        EXPECT_EQ(session.configurationFailed(), refused);
        if (refused) {
            EXPECT_LE(inTwoSeconds, 4u);  // still once a second
        } else {
            // Five a second where the line has room for every epoch; clearly more than one a
            // second even when the simulated line drops an epoch that does not fit.
            EXPECT_GE(inTwoSeconds, 5u);
        }
    }
}

}  // namespace
