// SPDX-License-Identifier: BSD-2-Clause
// The window's reader follows a line-rate change made through the configuration, as the
// configuration pane makes it: the port is opened again at the new rate in turn with the
// commands, the receiver is heard there, and the rate is kept for the next start.
#include <string>
#include <vector>

#include "binary/UbxConfigKeys.h"
#include "serial/PortDiscovery.h"
#include "integration/GPSControllerHarness.h"
#include "serial/ReceiverConfiguration.h"

namespace {

using namespace std::chrono_literals;

class WindowLineRateTest : public harness::ControllerTest {
protected:
    std::vector<std::string> said;
    std::unique_ptr<ReceiverConfiguration> configuration;

    // The configuration wired to the reader as the pane wires it.
    void configure()
    {
        ReceiverConfiguration::Hooks hooks;
        hooks.send = [this](std::vector<std::uint8_t> frame) { controller().sendToReceiver(std::move(frame)); };
        hooks.message = [this](const std::string& text, bool) { said.push_back(text); };
        hooks.reopenAt = [this](std::uint32_t baud) { return controller().requestReopenAt(baud); };
        configuration = std::make_unique<ReceiverConfiguration>(std::move(hooks));
        controller().setUbxFrameListener(
            [this](std::uint8_t messageClass, std::uint8_t messageId, std::span<const std::uint8_t> payload) {
                configuration->onUbxFrame(messageClass, messageId, payload);
            });
    }
    bool saidWith(const std::string& key)
    {
        for (const std::string& text : said)
            if (text.find(key) != std::string::npos) return true;
        return false;
    }
    // Waits for the configuration to be done, ticking it as the pane's timer does.
    bool settled(double seconds)
    {
        return until([&] {
            configuration->tick();
            return !configuration->busy();
        }, seconds);
    }
};

TEST_F(WindowLineRateTest, TheReceiverIsFollowedToTheNewRateWhichIsKept)
{
    sim::Options options;
    options.protocol = sim::Protocol::Ubx;
    options.rate = 38400;
    if (!startSimulator(options)) return;
    const std::string port = simulator->devicePath();
    PortDiscovery::addExtraPort(port);
    restore(port, "38400");
    platform.bundle.entries = {{"ConfigRateFollowed", "followed to %@"},
                               {"ConfigRateFellBack", "fell back from %@ to %@"}};
    configure();
    wake();
    ASSERT_TRUE(until([&] { return openLineShown(port, "38400") && controller().lineRate() == 38400u; }, 10.0));
    // Past the reader's own question of who the receiver is, asked at its first frame.
    until([] { return false; }, 1.5);

    configuration->setLineRate(controller().lineRate());
    ASSERT_TRUE(configuration->apply({*binary::parseUbxConfigAssignment("CFG-UART1-BAUDRATE=115200").value}));
    ASSERT_TRUE(settled(15.0)) << "the rate change is still being followed";
    EXPECT_FALSE(configuration->failed());
    EXPECT_TRUE(saidWith("followed to 115200"));
    EXPECT_EQ(simulator->rate(), 115200u);
    EXPECT_EQ(controller().lineRate(), 115200u);
    EXPECT_TRUE(openLineShown(port, "115200"));
    // Kept: the next start opens the port at the receiver's new rate.
    ASSERT_TRUE(until([&] {
        const auto stored = platform.preferences.values.find("rate");
        return stored != platform.preferences.values.end() &&
               stored->second == platform::PreferenceValue(std::string("115200"));
    }, 2.0));
    // Sentences go on arriving at the new rate.
    const std::size_t before = monitorView.lines.size();
    EXPECT_TRUE(until([&] { return monitorView.lines.size() > before + 3; }, 5.0));
}

// Without a serial connection nothing can be reopened, and the configuration says so.
TEST_F(WindowLineRateTest, NoReopenWithoutASerialConnection)
{
    configure();
    EXPECT_FALSE(controller().requestReopenAt(115200));
    EXPECT_FALSE(controller().lineRate().has_value());
}

}  // namespace
