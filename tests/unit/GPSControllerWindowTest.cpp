// SPDX-License-Identifier: BSD-2-Clause
// Wake-up, user commands, connection-closed clean-up, the staleness watch without a
// connection, and the window's proportions.

#include <gtest/gtest.h>

#include "serial/PortDiscovery.h"
#include "serial/Serial.h"
#include "unit/GPSControllerTestSupport.h"

using controllertest::MainWindow;

namespace {

class GPSControllerWindowTest : public ::testing::Test {
protected:
    fakes::FakePlatform platform;
    // Sleeps for real but can be woken; the fake one would spin the idle reader thread.
    platform::posix::PosixSleeper sleeper;
    MainWindow w;

    void SetUp() override
    {
        PortDiscovery::setDeviceRoots("/nonexistent-sys", "/nonexistent-dev");
        PortDiscovery::clearExtraPorts();
        PortDiscovery::addExtraPort("/dev/ttyTEST0");
        w.controller->setSleeper(&sleeper);
        w.utc.frame.height = 30;
        w.utcLabel.frame.height = 20;
    }
    void TearDown() override
    {
        w.controller->shutdown();
        PortDiscovery::clearExtraPorts();
    }
    GPSController& c() { return *w.controller; }
    // The settings drawer schedules its own device rescan beside it.
    fakes::FakeTimer* positionTimer()
    {
        for (fakes::FakeTimer* timer : platform.application.timers)
            if (timer->intervalSeconds == 15.0) return timer;
        return nullptr;
    }
};

TEST_F(GPSControllerWindowTest, WakeUpPreparesTheWindow)
{
    w.wakeDrawers();
    w.utc.setStringValue("stale");
    w.latitude.setObjectValue(1.0f);
    c().start();

    EXPECT_EQ(w.window.centerCount, 1);
    EXPECT_NE(w.latitude.formatter, nullptr);
    EXPECT_NE(w.longitude.formatter, nullptr);
    EXPECT_NE(w.cog.formatter, nullptr);
    EXPECT_NE(w.sog.formatter, nullptr);
    EXPECT_EQ(w.utc.text, "");
    EXPECT_FALSE(w.latitude.value.has_value());
    EXPECT_EQ(w.latitude.stringValue(), "");
    EXPECT_EQ(w.utc.font, (platform::Font{platform::FontKind::BoldSystem, 22.0f}));
    EXPECT_EQ(w.utcLabel.font, (platform::Font{platform::FontKind::BoldSystem, 12.0f}));
    EXPECT_EQ(w.compass.range(), 90);
    ASSERT_NE(positionTimer(), nullptr) << "the 15-second staleness timer";
    EXPECT_FALSE(c().hasConnection());

    // The latitude read-out now shows its number through the position formatter.
    w.handle("$GPGLL,4807.038,N,01131.000,E,120000,A");
    EXPECT_NE(w.latitude.stringValue(), "");
    EXPECT_NE(w.latitude.stringValue().find("48"), std::string::npos);
}

TEST_F(GPSControllerWindowTest, ConnectWithoutAChoiceOpensTheSettingsDrawer)
{
    w.wakeDrawers();
    c().onGPSConnect();
    EXPECT_TRUE(w.settingsDrawer.isOpen());
    EXPECT_EQ(c().threadCommand(), 0u);

    w.portBox.selectItemAtIndex(0);
    c().onGPSSettingsChange();
    EXPECT_EQ(c().threadCommand(), 1u);
}

TEST_F(GPSControllerWindowTest, ConnectWithAChoiceAsksTheReaderThread)
{
    platform.preferences.values = {
        {"serialPort", platform::PreferenceValue(std::string("/dev/ttyTEST0"))},
        {"rate", platform::PreferenceValue(std::string("9600"))}};
    w.wakeDrawers();
    c().onGPSConnect();
    EXPECT_FALSE(w.settingsDrawer.isOpen());
    EXPECT_EQ(c().threadCommand(), 1u);

    // A disconnect request without a connection does nothing.
    GPSController other;
    other.closeConnection();
    EXPECT_EQ(other.threadCommand(), 0u);
}

TEST_F(GPSControllerWindowTest, SettingsChangeWithoutAUsableSelectionKeepsTheConnection)
{
    w.wakeDrawers();
    c().onGPSSettingsChange();  // no port selected
    EXPECT_EQ(c().threadCommand(), 0u);
}

TEST_F(GPSControllerWindowTest, ConnectMenuItemFollowsTheDeviceList)
{
    w.wakeDrawers();
    EXPECT_TRUE(c().isMenuItemEnabled(&w.connectMenuItem));
    EXPECT_TRUE(c().isMenuItemEnabled(&w.quitMenuItem));

    PortDiscovery::clearExtraPorts();
    MainWindow empty;
    empty.wakeDrawers();  // no device: the program is asked to end
    EXPECT_FALSE(empty.controller->isMenuItemEnabled(&empty.connectMenuItem));
    EXPECT_TRUE(empty.controller->isMenuItemEnabled(&empty.quitMenuItem));
}

TEST_F(GPSControllerWindowTest, ConnectionClosedClearsTheDisplay)
{
    w.wakeDrawers();
    w.handle("$GPGGA,123519,4807.038,N,01131.000,E,2,08,0.9,545.4,M,46.9,M,,");
    w.handle("$GPVTG,054.7,T,,M,5.5,N,,K");
    w.handle("$GPGSV,1,1,01,07,79,048,42");
    w.handle("$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1");
    ASSERT_TRUE(w.compass.enabled());

    platform.clock.advance(50);
    c().connectionClosed();
    EXPECT_EQ(w.utc.text, "");
    for (const fakes::FakeTextField* field : {&w.latitude, &w.longitude, &w.sog, &w.cog, &w.fix}) {
        EXPECT_TRUE(field->showsNumber);
        EXPECT_FALSE(field->value.has_value());
    }
    EXPECT_EQ(w.dataReady.dataReadyState(), 0u);
    EXPECT_FALSE(w.compass.enabled());
    EXPECT_EQ(c().sog(), 0.0f);
    EXPECT_EQ(c().fix(), 0);
    EXPECT_FLOAT_EQ(c().cog(), 54.7f);  // kept across connections
    EXPECT_EQ(w.satellites.satellite(0)->number(), 0);
    EXPECT_EQ(w.satellites.altitude(), 0.0f);
    EXPECT_EQ(w.satellites.hDop(), 0.0f);
}

TEST_F(GPSControllerWindowTest, NoStalenessWarningWithoutAConnection)
{
    w.wakeDrawers();
    c().start();
    for (int i = 0; i < 20; ++i) {
        platform.clock.advance(15);
        positionTimer()->fire();
    }
    EXPECT_EQ(platform.application.beepCount, 0);
    EXPECT_TRUE(platform.alerts.sheets.empty());
}

TEST_F(GPSControllerWindowTest, OpenFailureAndLostConnectionSheetsNameThePort)
{
    platform.bundle.entries = {{"UnableToOpenPort", "Cannot open the port."},
                               {"ConnectionLost", "The receiver went away."},
                               {"OK", "OK"}};
    c().openPortFail("/dev/ttyUSB7");
    c().connectionLost("/dev/ttyUSB8");
    ASSERT_EQ(platform.alerts.sheets.size(), 2u);
    EXPECT_EQ(platform.alerts.sheets[0].window, &w.window);
    EXPECT_EQ(platform.alerts.sheets[0].message, "Cannot open the port.");
    EXPECT_EQ(platform.alerts.sheets[0].informative, "/dev/ttyUSB7");
    EXPECT_EQ(platform.alerts.sheets[0].button, "OK");
    EXPECT_EQ(platform.alerts.sheets[1].message, "The receiver went away.");
    EXPECT_EQ(platform.alerts.sheets[1].informative, "/dev/ttyUSB8");
}

TEST_F(GPSControllerWindowTest, ClosingTheWindowQuits)
{
    w.window.close();
    EXPECT_EQ(platform.application.terminateCount, 1);
}

TEST_F(GPSControllerWindowTest, ResizingKeepsTheMinimumSizesProportions)
{
    w.window.minimum = {400, 200};
    const platform::Size size = c().windowWillResize({600, 250});
    EXPECT_FLOAT_EQ(size.width, 600.0f);
    EXPECT_FLOAT_EQ(size.height, 300.0f);

    w.window.minimum = {0, 0};  // nothing to keep: the proposal stands
    const platform::Size same = c().windowWillResize({600, 250});
    EXPECT_FLOAT_EQ(same.height, 250.0f);
}

TEST_F(GPSControllerWindowTest, UnitsChangeShowsWithTheNextSpeed)
{
    w.wakeDrawers();
    c().start();
    w.handle("$GPVTG,054.7,T,,M,10.0,N,,K");
    const std::string miles = w.sog.stringValue();
    w.unitsBox.selectItemAtIndex(2);
    EXPECT_EQ(w.sog.stringValue(), miles);  // not before the next sentence
    w.handle("$GPVTG,054.7,T,,M,10.0,N,,K");
    EXPECT_NE(w.sog.stringValue(), miles);
    EXPECT_NE(w.sog.stringValue().find("10.0"), std::string::npos) << w.sog.stringValue();
}

}  // namespace

TEST_F(GPSControllerWindowTest, WhatTheReceiverStoppedRefreshingTurnsGreyAndASilentLineTurnsTheLampRed)
{
    w.wakeDrawers();
    c().start();
    fakes::FakeTimer* freshness = nullptr;
    for (fakes::FakeTimer* timer : platform.application.timers)
        if (timer->intervalSeconds == 1.0) freshness = timer;
    ASSERT_NE(freshness, nullptr);

    // No GSA: the fix field says what GGA says instead of staying empty or keeping "3D".
    w.handle("$GPGGA,123519,4807.038,N,01131.000,E,2,08,0.9,545.4,M,46.9,M,,");
    EXPECT_EQ(w.fix.stringValue(), "DGPS");  // the fake tables show keys
    platform.clock.advance(1);
    w.handle("$GPVTG,054.7,T,,M,5.5,N,,K");
    ASSERT_EQ(w.dataReady.dataReadyState(), 2u);

    platform.clock.advance(4.5);  // 5.5 s after the GGA, 4.5 s after the VTG
    freshness->fire();
    for (const fakes::FakeTextField* field : {&w.utc, &w.latitude, &w.longitude, &w.fix})
        EXPECT_TRUE(field->stale);
    EXPECT_FALSE(w.sog.stale);
    EXPECT_FALSE(w.cog.stale);
    EXPECT_EQ(w.dataReady.dataReadyState(), 2u);

    platform.clock.advance(1);  // 5.5 s of silence
    freshness->fire();
    EXPECT_TRUE(w.sog.stale);
    EXPECT_EQ(w.dataReady.dataReadyState(), 0u);

    // A fresh sentence brings its read-outs back; the others stay grey.
    w.handle("$GPGGA,123526,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,");
    freshness->fire();
    EXPECT_FALSE(w.latitude.stale);
    EXPECT_EQ(w.fix.stringValue(), "GPS");
    EXPECT_TRUE(w.sog.stale);
}
