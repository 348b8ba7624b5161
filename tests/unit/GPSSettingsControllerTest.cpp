// SPDX-License-Identifier: BSD-2-Clause
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "app/GPSSettingsController.h"
#include "fakes/FakeControls.h"
#include "fakes/FakeServices.h"
#include "serial/PortDiscovery.h"
#include "serial/Serial.h"
#include "fakes/FakeDeviceTree.h"

namespace {

using platform::PreferenceValue;

class GPSSettingsControllerTest : public ::testing::Test {
protected:
    fakes::FakePlatform platform;
    fakes::FakeComboBox typeBox, rateBox, portBox, unitsBox;
    fakes::FakeDrawer drawer;
    GPSSettingsController settings;

    void SetUp() override
    {
        PortDiscovery::setDeviceRoots("/nonexistent-sys", "/nonexistent-dev");
        PortDiscovery::clearExtraPorts();
        settings.setTypeComboBox(&typeBox);
        settings.setRateComboBox(&rateBox);
        settings.setPortComboBox(&portBox);
        settings.setUnitsComboBox(&unitsBox);
        settings.setSettingsDrawer(&drawer);
    }
    void TearDown() override { PortDiscovery::clearExtraPorts(); }

    void devices(int count)
    {
        for (int i = 0; i < count; ++i) PortDiscovery::addExtraPort("/dev/ttyUSB" + std::to_string(i));
    }
};

TEST_F(GPSSettingsControllerTest, FirstRunSelectsDefaultsButNoPort)
{
    devices(2);
    settings.start();
    EXPECT_EQ(rateBox.items, (std::vector<std::string>{"4800", "9600", "19200", "38400", "57600",
                                                        "115200", "230400", "460800", "921600",
                                                        "Automatic"}));
    EXPECT_EQ(unitsBox.items, (std::vector<std::string>{"Miles", "Kilometer", "Nautical Miles"}));
    EXPECT_EQ(portBox.items, (std::vector<std::string>{"/dev/ttyUSB0", "/dev/ttyUSB1"}));
    EXPECT_EQ(rateBox.selected, 0);
    EXPECT_EQ(unitsBox.selected, 0);
    EXPECT_EQ(portBox.selected, -1);
    EXPECT_FALSE(settings.port().has_value());
    EXPECT_FALSE(settings.rate().has_value());
    EXPECT_TRUE(settings.canConnect());
    EXPECT_FALSE(settings.getGPSSettingsSelection());

    portBox.selectItemAtIndex(1);
    EXPECT_TRUE(settings.getGPSSettingsSelection());
    EXPECT_EQ(settings.port(), "/dev/ttyUSB1");
    EXPECT_EQ(settings.rate(), "4800");
    EXPECT_TRUE(platform.alerts.panels.empty());
    EXPECT_EQ(platform.application.terminateCount, 0);
}

TEST_F(GPSSettingsControllerTest, AMetricDesktopStartsInKilometresUntilTheUserChooses)
{
    devices(1);
    settings.setDefaultUnits(1);
    settings.start();
    EXPECT_EQ(settings.units(), 1u);

    // A stored choice wins over the locale, also the choice of miles.
    GPSSettingsController chosen;
    fakes::FakeComboBox units;
    chosen.setUnitsComboBox(&units);
    chosen.setDefaultUnits(1);
    platform.preferences.values = {{"units", PreferenceValue(std::int64_t{0})}};
    chosen.start();
    EXPECT_EQ(chosen.units(), 0u);
}

TEST_F(GPSSettingsControllerTest, WrongTypedKeysAreToldInOnePanelAndKeepTheirDefaults)
{
    devices(1);
    platform.bundle.entries = {{"CorruptSettingsList", "Unreadable: %@."}};
    platform.preferences.values = {{"serialPort", PreferenceValue(std::int64_t{3})},
                                   {"rate", PreferenceValue(std::int64_t{4800})},
                                   {"units", PreferenceValue(std::string("2"))}};
    settings.start();
    ASSERT_EQ(platform.alerts.panels.size(), 1u);
    EXPECT_EQ(platform.alerts.panels[0].message, "Unreadable: serialPort, rate, units.");
    EXPECT_EQ(portBox.selected, -1);
    EXPECT_EQ(unitsBox.selected, 0);
}

TEST_F(GPSSettingsControllerTest, RestoresStoredChoicesAndCapturesThem)
{
    devices(3);
    platform.preferences.values = {{"serialPort", PreferenceValue(std::string("/dev/ttyUSB1"))},
                                   {"rate", PreferenceValue(std::string("19200"))},
                                   {"units", PreferenceValue(std::int64_t{2})}};
    settings.start();
    EXPECT_EQ(portBox.selected, 1);
    EXPECT_EQ(rateBox.selected, 2);
    EXPECT_EQ(settings.port(), "/dev/ttyUSB1");
    EXPECT_EQ(settings.rate(), "19200");
    EXPECT_EQ(unitsBox.selected, 2);
    EXPECT_EQ(settings.units(), 2u);
}

TEST_F(GPSSettingsControllerTest, UnusableStoredValuesFallBack)
{
    devices(2);
    platform.preferences.values = {{"serialPort", PreferenceValue(std::string("/dev/gone"))},
                                   {"rate", PreferenceValue(std::string("2400"))},
                                   {"units", PreferenceValue(std::int64_t{7})}};
    settings.start();
    EXPECT_EQ(portBox.selected, -1);
    EXPECT_EQ(rateBox.selected, 0);
    EXPECT_EQ(unitsBox.selected, 0);
    EXPECT_FALSE(settings.port().has_value());
}

TEST_F(GPSSettingsControllerTest, PortListShowsAtMostFourRows)
{
    for (int count : {3, 6}) {
        SCOPED_TRACE(count);
        PortDiscovery::clearExtraPorts();
        devices(count);
        fakes::FakeComboBox rates, ports, units;
        GPSSettingsController fresh;
        fresh.setRateComboBox(&rates);
        fresh.setPortComboBox(&ports);
        fresh.setUnitsComboBox(&units);
        fresh.start();
        EXPECT_EQ(ports.numberOfItems(), count);
        EXPECT_EQ(ports.visibleItems, count <= 4 ? count : 4);
    }
}

// No serial device at all: the panel offers to quit (the default) or to wait for a receiver
// to be plugged in.
TEST_F(GPSSettingsControllerTest, NoDeviceAsksWhetherToQuitOrWait)
{
    platform.preferences.values = {{"units", PreferenceValue(std::int64_t{1})}};
    platform.alerts.panelAnswer = 0;  // Quit, the default button
    settings.start();
    EXPECT_EQ(unitsBox.selected, 1);  // applied before the message
    EXPECT_EQ(platform.application.beepCount, 1);
    ASSERT_EQ(platform.alerts.panels.size(), 1u);
    EXPECT_EQ(platform.alerts.panels[0].message, "NoGPS");
    EXPECT_EQ(platform.alerts.panels[0].defaultButton, "Quit");
    EXPECT_EQ(platform.alerts.panels[0].alternateButton, "WaitForReceiver");
    EXPECT_EQ(platform.application.terminateCount, 1);
    EXPECT_FALSE(settings.canConnect());
    EXPECT_FALSE(settings.port().has_value());

    settings.saveSettings();
    EXPECT_EQ(platform.preferences.values.count("serialPort"), 0u);
    EXPECT_EQ(platform.preferences.values.count("rate"), 0u);

    for (const int answer : {1, -1}) {  // "Wait for a receiver", or the panel closed
        SCOPED_TRACE(answer);
        fakes::FakePlatform waiting;
        waiting.alerts.panelAnswer = answer;
        fakes::FakeComboBox rates, ports, units;
        GPSSettingsController fresh;
        fresh.setRateComboBox(&rates);
        fresh.setPortComboBox(&ports);
        fresh.setUnitsComboBox(&units);
        fresh.start();
        EXPECT_EQ(waiting.alerts.panels.size(), 1u);
        EXPECT_EQ(waiting.application.terminateCount, 0);
        EXPECT_EQ(waiting.application.timers.size(), 1u) << "the port list is rescanned";
    }
}

TEST_F(GPSSettingsControllerTest, TheListFollowsDevicesAsTheyComeAndGo)
{
    fakes::FakeDeviceTree tree;
    platform.alerts.panelAnswer = 1;  // wait for a receiver
    settings.start();
    ASSERT_EQ(platform.alerts.panels.size(), 1u) << "NoGPS, and the program runs on";
    EXPECT_FALSE(settings.canConnect());
    ASSERT_EQ(platform.application.timers.size(), 1u);
    fakes::FakeTimer& rescan = *platform.application.timers[0];

    const std::string link = "usb-u-blox_AG_GNSS_receiver-if00";
    tree.plugUsb("ttyUSB0", "0403", "6001", "FT232R USB UART", "FTDI");
    tree.plugUsb("ttyACM0", "1546", "01a8", "u-blox GNSS receiver", "u-blox AG", link);
    rescan.fire();
    EXPECT_EQ(portBox.items, (std::vector<std::string>{"u-blox GNSS receiver — ttyACM0",
                                                       "FT232R USB UART — ttyUSB0"}));
    EXPECT_TRUE(settings.canConnect());
    EXPECT_EQ(portBox.selected, 0) << "nothing stored: the known receiver is chosen";
    EXPECT_EQ(settings.port(), tree.byId(link)) << "and captured by its stable path";

    // Unplugged: the choice stays, waiting; replugged under a new number: shown again.
    tree.unplug("ttyACM0");
    rescan.fire();
    EXPECT_EQ(portBox.items, std::vector<std::string>{"FT232R USB UART — ttyUSB0"});
    EXPECT_EQ(portBox.selected, -1);
    EXPECT_EQ(settings.port(), tree.byId(link));
    tree.plugUsb("ttyACM1", "1546", "01a8", "u-blox GNSS receiver", "u-blox AG", link);
    rescan.fire();
    EXPECT_EQ(portBox.items.front(), "u-blox GNSS receiver — ttyACM1");
    EXPECT_EQ(portBox.selected, 0);
    EXPECT_EQ(platform.alerts.panels.size(), 1u);
}

TEST_F(GPSSettingsControllerTest, AnOldPlainDevicePathIsStoredAgainAsTheStablePath)
{
    fakes::FakeDeviceTree tree;
    const std::string link = "usb-Prolific_Technology_Inc._USB-Serial_Controller-if00-port0";
    tree.plugUsb("ttyUSB0", "10c4", "ea61", "CP2104 bridge", "Silicon Labs");
    tree.plugUsb("ttyUSB1", "067b", "2303", "USB-Serial Controller", "Prolific Technology Inc.", link);
    platform.preferences.values = {{"serialPort", PreferenceValue(tree.dev("ttyUSB1"))},
                                   {"rate", PreferenceValue(std::string("4800"))}};
    settings.start();
    ASSERT_EQ(portBox.selected, 0);
    EXPECT_EQ(portBox.items[0], "USB-Serial Controller — ttyUSB1");
    EXPECT_EQ(settings.port(), tree.byId(link));
    settings.saveSettings();
    EXPECT_EQ(platform.preferences.values.at("serialPort"), PreferenceValue(tree.byId(link)));
}

TEST_F(GPSSettingsControllerTest, SavingStoresTheLastCaptureNotTheShownSelection)
{
    devices(2);
    platform.preferences.values = {{"serialPort", PreferenceValue(std::string("/dev/ttyUSB0"))},
                                   {"rate", PreferenceValue(std::string("9600"))}};
    settings.start();
    portBox.selectItemAtIndex(1);
    rateBox.selectItemAtIndex(3);
    unitsBox.selectItemAtIndex(1);
    settings.saveSettings();
    EXPECT_EQ(platform.preferences.values.at("serialPort"),
              PreferenceValue(std::string("/dev/ttyUSB0")));
    EXPECT_EQ(platform.preferences.values.at("rate"), PreferenceValue(std::string("9600")));
    // Units are read live, and stored as a number.
    EXPECT_EQ(platform.preferences.values.at("units"), PreferenceValue(std::int64_t{1}));
}

TEST_F(GPSSettingsControllerTest, ACommandLinePortCountsAsADevice)
{
    PortDiscovery::addExtraPort("/tmp/virtual-port");
    settings.start();
    EXPECT_TRUE(settings.canConnect());
    EXPECT_EQ(platform.application.terminateCount, 0);
}

// The reader thread reads port and rate while the user captures new choices.
TEST_F(GPSSettingsControllerTest, PortAndRateAreSafeToReadFromAnotherThread)
{
    devices(2);
    settings.start();
    std::atomic<bool> done{false};
    std::thread reader([&] {
        while (!done.load()) {
            const auto port = settings.port();
            const auto rate = settings.rate();
            if (port) {
                EXPECT_TRUE(*port == "/dev/ttyUSB0" || *port == "/dev/ttyUSB1");
            }
            if (rate) {
                EXPECT_TRUE(*rate == "4800" || *rate == "38400");
            }
            EXPECT_TRUE(settings.canConnect());
        }
    });
    for (int i = 0; i < 2000; ++i) {
        portBox.selectItemAtIndex(i % 2);
        rateBox.selectItemAtIndex((i % 2) * 3);
        settings.getGPSSettingsSelection();
    }
    done.store(true);
    reader.join();
}

}  // namespace
