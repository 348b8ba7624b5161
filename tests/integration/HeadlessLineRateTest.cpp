// SPDX-License-Identifier: BSD-2-Clause
// Headless changes the receiver's line rate and follows it on a pseudo-terminal: to the
// simulated receiver and back, and back to the old rate when the receiver is not heard at the
// new one.

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "headless/HeadlessSession.h"
#include "binary/UbxConfigKeys.h"
#include "fakes/PseudoTerminal.h"
#include "platform/Services.h"
#include "posix/StringsBundle.h"
#include "sim/Simulator.h"
#include "sim/UbxReceiver.h"

namespace {

using namespace std::chrono_literals;

struct Seen {
    std::mutex mutex;
    std::vector<std::string> reports, messages;

    HeadlessSession::Sink to(std::vector<std::string>& lines)
    {
        return [this, &lines](const std::string& line) {
            std::lock_guard lock(mutex);
            lines.push_back(line);
        };
    }
    bool said(const std::string& part)
    {
        std::lock_guard lock(mutex);
        for (const auto& m : messages)
            if (m.find(part) != std::string::npos) return true;
        return false;
    }
    std::size_t tpvReports()
    {
        std::lock_guard lock(mutex);
        std::size_t n = 0;
        for (const auto& r : reports) n += r.find("\"class\":\"TPV\"") != std::string::npos;
        return n;
    }
    std::string allMessages()
    {
        std::lock_guard lock(mutex);
        std::string all;
        for (const auto& m : messages) all += m + "\n";
        return all;
    }
};

template <typename Condition>
bool until(Condition condition, std::chrono::milliseconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) return true;
        std::this_thread::sleep_for(20ms);
    }
    return condition();
}

// One headless run on the simulator's port at a rate, setting the receiver's UART1 rate.
struct RateRun {
    Seen seen;
    HeadlessSession session{seen.to(seen.reports), seen.to(seen.messages)};
    std::thread reader;

    RateRun(const std::string& path, const std::string& rate, const std::string& setting)
    {
        session.setConfiguration({*binary::parseUbxConfigAssignment(setting).value}, false);
        reader = std::thread([this, path, rate] { session.run(path, rate); });
    }
    ~RateRun()
    {
        session.stop();
        reader.join();
    }
};

// The English tables, so that what is asserted is what the user reads.
class HeadlessLineRate : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved = platform::services();
        platform::services().bundle = &english;
    }
    void TearDown() override { platform::services() = saved; }

    platform::posix::StringsBundle english{std::filesystem::path(GPSDESK_SOURCE_DIR) / "resources",
                                           std::vector<std::string>{"en"}};
    platform::Services saved;
};

TEST_F(HeadlessLineRate, TheSimulatedReceiverIsFollowedToAnotherRateAndBack)
{
    sim::Options options;
    options.protocol = sim::Protocol::Ubx;
    options.rate = 38400;
    sim::Simulator simulator(options);
    ASSERT_TRUE(simulator.start()) << simulator.error();
    struct Step {
        const char* openAt;
        const char* setting;
        std::uint32_t rate;
    };
    for (const Step step : {Step{"38400", "CFG-UART1-BAUDRATE=115200", 115200}, Step{"115200", "CFG-UART1-BAUDRATE=38400", 38400}}) {
        SCOPED_TRACE(step.setting);
        RateRun run(simulator.devicePath(), step.openAt, step.setting);
        const std::string followed = "answers at " + std::to_string(step.rate) + " Bd";
        EXPECT_TRUE(until([&] { return run.seen.said(followed); }, 15000ms)) << run.seen.allMessages();
        EXPECT_EQ(simulator.rate(), step.rate);
        // The position goes on being reported at the new rate.
        const std::size_t before = run.seen.tpvReports();
        EXPECT_TRUE(until([&] { return run.seen.tpvReports() >= before + 2; }, 5000ms));
        EXPECT_FALSE(run.session.configurationFailed());
    }
}

// A receiver that acknowledges the new rate but whose UART stays at the old one (it was told
// on another port, say): the port goes back to the old rate, where the receiver answers, and
// the run counts as failed.
TEST_F(HeadlessLineRate, AReceiverNotHeardAtTheNewRateIsFoundAgainAtTheOldOne)
{
    testpty::PseudoTerminal pty;
    ASSERT_TRUE(pty.ok());
    const int slave = pty.holdSlave();
    ASSERT_GE(slave, 0);
    std::atomic<bool> done{false};
    std::atomic<int> heardAt115200{0};
    std::thread device([&] {
        sim::UbxReceiver receiver(38400);
        std::vector<std::uint8_t> buffer(4096);
        while (!done.load()) {
            pollfd ready{pty.master(), POLLIN, 0};
            if (::poll(&ready, 1, 50) <= 0) continue;
            const ssize_t n = ::read(pty.master(), buffer.data(), buffer.size());
            if (n <= 0) continue;
            termios settings{};
            ::tcgetattr(slave, &settings);
            if (::cfgetospeed(&settings) != B38400) {
                ++heardAt115200;  // noise to a UART at 38400
                continue;
            }
            const auto answer = receiver.receive({buffer.data(), static_cast<std::size_t>(n)});
            if (!answer.empty()) (void)pty.write(std::string(answer.begin(), answer.end()));
        }
    });
    {
        RateRun run(pty.slavePath(), "38400", "CFG-UART1-BAUDRATE=115200");
        EXPECT_TRUE(until([&] { return run.seen.said("the port is back at 38400 Bd"); }, 15000ms))
            << run.seen.allMessages();
        EXPECT_TRUE(run.seen.said("not heard at 115200 Bd"));
        EXPECT_TRUE(until([&] { return run.session.configurationFailed(); }, 1000ms));
    }
    done.store(true);
    device.join();
    EXPECT_GT(heardAt115200.load(), 0) << "the receiver was asked at the new rate first";
}

// An M8 knows no configuration keys: headless configures it through the older CFG messages,
// a faster measurement period and a line rate it follows, then the position reported faster.
TEST_F(HeadlessLineRate, TheSimulatedM8TakesAFasterPeriodAndALineRate)
{
    sim::Options options;
    options.protocol = sim::Protocol::UbxM8;
    options.rate = 9600;
    sim::Simulator simulator(options);
    ASSERT_TRUE(simulator.start()) << simulator.error();

    Seen seen;
    HeadlessSession session{seen.to(seen.reports), seen.to(seen.messages)};
    session.setConfiguration({*binary::parseUbxConfigAssignment("CFG-RATE-MEAS=200").value,
                              *binary::parseUbxConfigAssignment("CFG-UART1-BAUDRATE=115200").value},
                             false);
    std::thread reader([&] { session.run(simulator.devicePath(), "9600"); });

    EXPECT_TRUE(until([&] { return seen.said("answers at 115200 Bd"); }, 8000ms)) << seen.allMessages();
    EXPECT_TRUE(seen.said("The receiver took CFG-RATE-MEAS=200.")) << seen.allMessages();
    EXPECT_EQ(simulator.rate(), 115200u);
    // Five solutions a second now: well over the one a second it started with.
    const std::size_t before = seen.tpvReports();
    std::this_thread::sleep_for(1500ms);
    EXPECT_GE(seen.tpvReports() - before, 5u);
    EXPECT_FALSE(session.configurationFailed()) << seen.allMessages();
    session.stop();
    reader.join();
}

}  // namespace
