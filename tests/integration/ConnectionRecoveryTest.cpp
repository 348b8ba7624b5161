// SPDX-License-Identifier: BSD-2-Clause
// Getting connected without help: the automatic rate against the simulator at its own line
// speed, and the reconnect when an unplugged receiver comes back.

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include <gtest/gtest.h>
#include <unistd.h>

#include "fakes/FakeDeviceTree.h"
#include "serial/PortDiscovery.h"
#include "fakes/PseudoTerminal.h"
#include "integration/GPSControllerHarness.h"

namespace {

using harness::SteadyClock;

class ConnectionRecoveryTest : public harness::ControllerTest {};

TEST_F(ConnectionRecoveryTest, AutomaticRateFindsTheReceiversRateAndStoresIt)
{
    sim::Options options;
    options.rate = 38400;
    if (!startSimulator(options)) return;
    const std::string port = simulator->devicePath();
    PortDiscovery::addExtraPort(port);
    restore(port, "Automatic");

    const auto woken = SteadyClock::now();
    wake();
    ASSERT_TRUE(until([&] { return openLineShown(port, "38400"); }, 12.0));
    const double seconds = std::chrono::duration<double>(SteadyClock::now() - woken).count();
    EXPECT_LT(seconds, 10.0);
    ASSERT_TRUE(until([&] { return window->latitude.value.has_value(); }, 5.0))
        << "connected at the rate found, sentences reach the read-outs";
    EXPECT_EQ(platform.preferences.values.at("rate"), platform::PreferenceValue(std::string("38400")));
    EXPECT_EQ(window->rateBox.objectValueOfSelectedItem(), "38400");
    EXPECT_EQ(window->settings.rate(), "38400");
    EXPECT_EQ(simulator->rate(), 38400u);
}

TEST_F(ConnectionRecoveryTest, AReceiverPluggedInAfterAStartWithoutDevicesIsConnected)
{
    fakes::FakeDeviceTree tree;
    if (!startSimulator({})) return;
    platform.alerts.panelAnswer = 1;  // wait for a receiver
    wake();
    ASSERT_EQ(platform.alerts.panels.size(), 1u) << "NoGPS";
    EXPECT_EQ(platform.application.terminateCount, 0);
    until([] { return false; }, 2.5);  // past the reader's own start
    EXPECT_FALSE(controller().hasConnection());

    const std::string link = "usb-u-blox_AG_GNSS_receiver-if00";
    tree.plugUsb("ttyACM0", "1546", "01a8", "u-blox GNSS receiver", "u-blox AG", link,
                 simulator->devicePath());
    for (fakes::FakeTimer* timer : platform.application.timers)
        if (timer->intervalSeconds == 1.0) timer->fire();  // the settings drawer's rescan
    ASSERT_TRUE(until([&] { return openLineShown(tree.byId(link), "4800"); }, 5.0));
    ASSERT_TRUE(until([&] { return window->latitude.value.has_value(); }, 5.0));
    EXPECT_TRUE(platform.alerts.sheets.empty());
}

TEST_F(ConnectionRecoveryTest, AWrongRateTurnsTheLampYellowAndSaysSoOnce)
{
    sim::Options options;
    options.rate = 38400;
    if (!startSimulator(options)) return;
    const std::string port = simulator->devicePath();
    PortDiscovery::addExtraPort(port);
    restore(port, "4800");
    platform.bundle.entries = {{"DoctorWrongRate", "wrong rate?"}};
    wake();
    ASSERT_TRUE(until([&] { return openLineShown(port, "4800"); }, 6.0));
    ASSERT_TRUE(until([&] { return monitorView.contains("wrong rate?"); }, 6.0));
    EXPECT_EQ(window->dataReady.dataReadyState(), 1u);
    until([] { return false; }, 4.0);
    std::size_t told = 0;
    for (const auto& line : monitorView.lines) told += line.text == "wrong rate?";
    EXPECT_EQ(told, 1u);
    EXPECT_FALSE(window->latitude.value.has_value());
}

// The initialisation reads up to fifteen lines past the reader; a receiver that sends four
// sentences a second takes longer than a wrong-rate spell over them. That is no rate question.
TEST_F(ConnectionRecoveryTest, ASlowReceiverAtTheRightRateIsNoRateQuestion)
{
    testpty::PseudoTerminal pty;
    ASSERT_TRUE(pty.ok());
    PortDiscovery::addExtraPort(pty.slavePath());
    restore(pty.slavePath(), "4800");
    platform.bundle.entries = {{"DoctorWrongRate", "wrong rate?"}};
    std::atomic<bool> done{false};
    std::thread receiver([&] {
        for (int i = 0; i < 40 && !done.load(); ++i) {
            pty.write("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n");
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
        }
    });
    wake();
    const bool opened = until([&] { return openLineShown(pty.slavePath(), "4800"); }, 6.0);
    const bool handled = opened && until([&] { return monitorView.green > 3; }, 8.0);
    if (handled) until([&] { return monitorView.contains("wrong rate?"); }, 2.0);
    done.store(true);
    receiver.join();
    controller().shutdown();
    ASSERT_TRUE(opened);
    EXPECT_TRUE(handled) << "sentences after the initialisation reach the window";
    EXPECT_FALSE(monitorView.contains("wrong rate?"));
}

TEST_F(ConnectionRecoveryTest, AnUnpluggedReceiverIsReconnectedWhenItReturns)
{
    const std::string link = (std::filesystem::temp_directory_path()
                              / ("gpsdesk-replug-" + std::to_string(::getpid()))).string();
    sim::Options options;
    options.linkPath = link;
    if (!startSimulator(options)) return;
    PortDiscovery::addExtraPort(link);
    restore(link, "4800");
    platform.bundle.entries = {{"DoctorReconnected", "%@ is back"}};
    wake();
    ASSERT_TRUE(until([&] { return openLineShown(link, "4800"); }, 8.0));

    simulator->unplug();
    ASSERT_TRUE(until([&] { return !platform.alerts.sheets.empty(); }, 5.0));
    EXPECT_EQ(platform.alerts.sheets[0].message, "ConnectionLost");
    EXPECT_FALSE(controller().hasConnection());

    // The same device again, on a new terminal behind the same stable name.
    sim::Simulator replugged(options);
    ASSERT_TRUE(replugged.start()) << replugged.error();
    ASSERT_TRUE(until([&] { return monitorView.contains(link + " is back"); }, 8.0));
    EXPECT_TRUE(controller().hasConnection());
    ASSERT_TRUE(until([&] { return window->latitude.value.has_value(); }, 5.0));
    EXPECT_EQ(platform.alerts.sheets.size(), 1u) << "no open-failure sheet while it was away";
    controller().shutdown();
}

}  // namespace
