// SPDX-License-Identifier: BSD-2-Clause
// Headless configures the simulated M8 on its pseudo-terminal through the older CFG messages:
// a faster measurement period and a line rate it follows, then the position reported faster.

#include <chrono>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "binary/UbxConfigKeys.h"
#include "headless/HeadlessSession.h"
#include "platform/Services.h"
#include "posix/StringsBundle.h"
#include "sim/Simulator.h"

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

class HeadlessM8 : public ::testing::Test {
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

TEST_F(HeadlessM8, TheSimulatedM8TakesAFasterPeriodAndALineRate)
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
