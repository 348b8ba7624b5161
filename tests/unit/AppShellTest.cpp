// SPDX-License-Identifier: BSD-2-Clause
#include <algorithm>
#include <cstdint>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/AppController.h"
#include "app/GPSSettingsController.h"
#include "app/SplashController.h"
#include "fakes/FakeControls.h"
#include "fakes/FakeServices.h"
#include "serial/PortDiscovery.h"
#include "serial/Serial.h"
#include "unit/GPSControllerTestSupport.h"

namespace {

const std::string kInstalled = "/Applications/Corvane.app";

struct Splash {
    fakes::FakePlatform platform;
    fakes::FakeDrawer drawer;
    fakes::FakeImageView image;
    SplashController controller;

    Splash()
    {
        controller.setSplashDrawer(&drawer);
        controller.setSplashImageView(&image);
    }
};

}  // namespace

TEST(SplashControllerTest, WakeShowsThePictureAndOpensTheDrawer)
{
    Splash splash;
    splash.controller.start();
    EXPECT_EQ(splash.image.imageName, "splash.png");
    EXPECT_TRUE(splash.drawer.isOpen());

    // A missing picture is not an error: the drawer still opens, nothing is shown.
    Splash bare;
    bare.image.available = false;
    bare.controller.start();
    EXPECT_TRUE(bare.drawer.isOpen());
    EXPECT_TRUE(bare.platform.alerts.panels.empty());
}

TEST(SplashControllerTest, FindsTheApplicationWhereItIs)
{
    struct Case {
        const char* name;
        std::vector<std::string> executables;
        std::vector<std::string> media;
        std::vector<std::string> expectedLaunch;  // empty: nothing happens
    };
    const Case cases[] = {
        {"applications folder first",
         {kInstalled, "/media/ann/STICK/Mac/Corvane/Corvane.app"},
         {"/media/ann/STICK"},
         {kInstalled}},
        {"removable disk",
         {"/media/ann/STICK/Mac/Corvane/Corvane.app"},
         {"/media/ann/STICK"},
         {"/media/ann/STICK/Mac/Corvane/Corvane.app"}},
        {"first of two disks in mount order",
         {"/run/media/ann/B/Mac/Corvane/Corvane.app", "/media/ann/A/Mac/Corvane/Corvane.app"},
         {"/media/ann/A", "/run/media/ann/B"},
         {"/media/ann/A/Mac/Corvane/Corvane.app"}},
        {"second disk when the first lacks it",
         {"/run/media/ann/B/Mac/Corvane/Corvane.app"},
         {"/media/ann/A", "/run/media/ann/B"},
         {"/run/media/ann/B/Mac/Corvane/Corvane.app"}},
        {"mount path with a trailing separator",
         {"/media/ann/A/Mac/Corvane/Corvane.app"},
         {"/media/ann/A/"},
         {"/media/ann/A/Mac/Corvane/Corvane.app"}},
        {"nowhere", {}, {"/media/ann/A"}, {}},
        {"no disks", {}, {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Splash splash;
        splash.platform.workspace.executables = c.executables;
        splash.platform.workspace.media = c.media;
        splash.controller.onCorvane();
        EXPECT_EQ(splash.platform.workspace.launched, c.expectedLaunch);
        EXPECT_EQ(splash.platform.application.terminateCount, c.expectedLaunch.empty() ? 0 : 1);
        EXPECT_EQ(splash.platform.application.beepCount, 0);
        EXPECT_TRUE(splash.platform.alerts.panels.empty());
    }
}

TEST(SplashControllerTest, WithoutTheApplicationTheButtonShowsThePositionOnTheMap)
{
    Splash splash;
    fakes::FakeButton button;
    splash.controller.setLaunchButton(&button);
    splash.controller.start();
    EXPECT_EQ(button.currentTitle, "button.showOnMap");
    EXPECT_FALSE(button.enabled) << "no position yet";
    splash.controller.onLaunch();
    EXPECT_TRUE(splash.platform.workspace.opened.empty());

    splash.controller.setPosition(48.16315f, -11.52527f);
    EXPECT_TRUE(button.enabled);
    splash.controller.onLaunch();
    EXPECT_EQ(splash.platform.workspace.opened, (std::vector<std::string>{"geo:48.16315,-11.52527"}));
    EXPECT_EQ(splash.platform.application.terminateCount, 0);

    // A desktop that cannot open the address says so instead of doing nothing.
    splash.platform.workspace.openSucceeds = false;
    splash.controller.onLaunch();
    ASSERT_EQ(splash.platform.alerts.panels.size(), 1u);
    splash.controller.clearPosition();
    EXPECT_FALSE(button.enabled);

    // With the application found on waking the button starts it, as before.
    Splash installed;
    fakes::FakeButton start;
    installed.controller.setLaunchButton(&start);
    installed.platform.workspace.executables = {kInstalled};
    installed.controller.start();
    EXPECT_EQ(start.currentTitle, "button.startCompanion");
    EXPECT_TRUE(start.enabled);
    installed.controller.onLaunch();
    EXPECT_EQ(installed.platform.workspace.launched, (std::vector<std::string>{kInstalled}));
}

TEST(SplashControllerTest, PathJoiningCountsADoubledSeparatorAsOne)
{
    EXPECT_EQ(SplashController::pathWithComponents({"/media/a", "/Mac/Corvane/", "Corvane.app"}),
              "/media/a/Mac/Corvane/Corvane.app");
    EXPECT_EQ(SplashController::pathWithComponents({"/", "/Mac/Corvane/", "Corvane.app"}),
              "/Mac/Corvane/Corvane.app");
    EXPECT_EQ(SplashController::pathWithComponents({"/media//a/", "/Mac/"}), "/media/a/Mac");
    EXPECT_EQ(SplashController::pathWithComponents({"/"}), "/");
}

TEST(SplashControllerTest, LearnMoreOpensTheHelpPageAsAFileAddress)
{
    Splash splash;
    splash.platform.bundle.resources["help/index.html"] =
        "/usr/share/gps desk/help/index.html";
    splash.controller.onLearnMore();
    EXPECT_EQ(splash.platform.workspace.opened,
              (std::vector<std::string>{"file:///usr/share/gps%20desk/help/index.html"}));
    EXPECT_EQ(splash.platform.application.terminateCount, 0);

    EXPECT_TRUE(splash.platform.alerts.panels.empty()) << "opened: nothing to say";

    // F1 and Learn More never do nothing silently: without the page the user is told, and
    // without a program to open it (no xdg-open) the user is told where the page is.
    Splash missing;
    missing.controller.onLearnMore();
    EXPECT_TRUE(missing.platform.workspace.opened.empty());
    ASSERT_EQ(missing.platform.alerts.panels.size(), 1u);
    EXPECT_NE(missing.platform.alerts.panels[0].message.find("NoHelpPage"), std::string::npos);

    Splash noOpener;
    noOpener.platform.bundle.resources["help/index.html"] = "/x/help/index.html";
    noOpener.platform.bundle.entries = {{"HelpNotOpened", "The page is at %@"}};
    noOpener.platform.workspace.openSucceeds = false;
    noOpener.controller.onLearnMore();
    ASSERT_EQ(noOpener.platform.alerts.panels.size(), 1u);
    EXPECT_EQ(noOpener.platform.alerts.panels[0].message, "The page is at /x/help/index.html");

    Splash noWorkspace;
    noWorkspace.platform.bundle.resources["help/index.html"] = "/x/help/index.html";
    platform::services().workspace = nullptr;
    noWorkspace.controller.onLearnMore();
    noWorkspace.controller.onCorvane();
    EXPECT_TRUE(noWorkspace.platform.workspace.opened.empty());
    EXPECT_EQ(noWorkspace.platform.alerts.panels.size(), 1u);
    EXPECT_EQ(noWorkspace.platform.application.terminateCount, 0);
}

// The splash picture and the help page ship with the program; the drawer shows nothing and
// the button does nothing when they are missing, so a broken file would go unnoticed.
TEST(SplashControllerTest, ShippedPictureAndHelpPageAreUsable)
{
    const std::string resources = std::string(GPSDESK_SOURCE_DIR) + "/resources/";
    std::ifstream picture(resources + "splash.png", std::ios::binary);
    ASSERT_TRUE(picture) << "resources/splash.png missing";
    const std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(picture), {}};
    ASSERT_GT(bytes.size(), 33u);
    const unsigned char signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    EXPECT_TRUE(std::equal(std::begin(signature), std::end(signature), bytes.begin()));
    const auto be32 = [&bytes](std::size_t at) {
        return std::uint32_t{bytes[at]} << 24 | std::uint32_t{bytes[at + 1]} << 16 |
               std::uint32_t{bytes[at + 2]} << 8 | std::uint32_t{bytes[at + 3]};
    };
    EXPECT_GE(be32(16), 128u);  // width
    EXPECT_GE(be32(20), 128u);  // height

    std::ifstream help(resources + "help/index.html");
    ASSERT_TRUE(help) << "resources/help/index.html missing";
    const std::string page{std::istreambuf_iterator<char>(help), {}};
    for (const char* topic : {"<title>", "dialout", "Red", "Yellow", "Green", "HDOP", "4800"})
        EXPECT_NE(page.find(topic), std::string::npos) << topic;
}

namespace {

// The application controller over a settings drawer whose lists hold a port, a rate and a
// units choice, so a save writes all three preferences.
struct Shell {
    fakes::FakePlatform platform;
    fakes::FakeComboBox type, rate, port, units;
    fakes::FakeDrawer settingsDrawer, splashDrawer;
    fakes::FakeImageView image;
    GPSSettingsController settings;
    AppController app;
    SplashController splash;

    Shell()
    {
        settings.setTypeComboBox(&type);
        settings.setRateComboBox(&rate);
        settings.setPortComboBox(&port);
        settings.setUnitsComboBox(&units);
        settings.setSettingsDrawer(&settingsDrawer);
        app.setGpsSettingsController(&settings);
        splash.setSplashDrawer(&splashDrawer);
        splash.setSplashImageView(&image);
        app.start();
        units.items = {"Miles", "Kilometer", "Nautical Miles"};
        units.selected = 2;
    }

    int saves() const { return platform.preferences.synchronizeCount; }
};

}  // namespace

TEST(AppControllerTest, SavesOnceOnEveryWayOut)
{
    struct Way {
        const char* name;
        std::function<void(Shell&)> end;
    };
    const Way ways[] = {
        {"quit", [](Shell& s) { s.platform.application.terminate(); }},
        {"quit, then a signal during the end",
         [](Shell& s) {
             s.platform.application.terminate();
             s.platform.application.terminate();
         }},
        {"splash launches the navigation program",
         [](Shell& s) {
             s.platform.workspace.executables = {"/Applications/Corvane.app"};
             s.splash.onCorvane();
         }},
        {"delegate told twice directly",
         [](Shell& s) {
             s.app.applicationWillTerminate();
             s.app.applicationWillTerminate();
         }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.name);
        Shell shell;
        EXPECT_EQ(shell.platform.application.delegate, &shell.app);
        way.end(shell);
        EXPECT_EQ(shell.saves(), 1);
        const auto stored = shell.platform.preferences.objectForKey("units");
        ASSERT_TRUE(stored.has_value());
        EXPECT_EQ(std::get<std::int64_t>(*stored), 2);
    }
}

TEST(AppControllerTest, AFailedSaveIsToldInTheMonitorAndOnStandardErrorWithoutAPanel)
{
    fakes::FakePlatform platform;
    platform.bundle.entries = {{"SettingsNotSaved", "Not saved: %@"}};
    platform.preferences.failure = "cannot write /cfg/preferences.json: No space left on device";
    PortDiscovery::setDeviceRoots("/nonexistent-sys", "/nonexistent-dev");
    PortDiscovery::clearExtraPorts();
    PortDiscovery::addExtraPort("/dev/ttyTEST0");
    controllertest::MainWindow w;
    w.wakeDrawers();
    AppController app;
    app.setGpsController(w.controller.get());
    app.setGpsSettingsController(&w.settings);

    testing::internal::CaptureStderr();
    app.applicationWillTerminate();
    const std::string told = testing::internal::GetCapturedStderr();
    const std::string expected = "Not saved: " + *platform.preferences.failure;
    EXPECT_NE(told.find(expected), std::string::npos) << told;
    const auto lines = w.monitorLines();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(),
                            [&](const auto& line) { return line.first == expected; }));
    EXPECT_TRUE(platform.alerts.panels.empty());
    PortDiscovery::clearExtraPorts();
}

TEST(AppControllerTest, NoSaveWithoutAnEndAndEveryMenuItemEnabled)
{
    Shell shell;
    shell.splash.onCorvane();  // nowhere to be found: the application goes on
    EXPECT_EQ(shell.saves(), 0);
    fakes::FakeMenuItem item;
    EXPECT_TRUE(shell.app.isMenuItemEnabled(&item));
    EXPECT_TRUE(shell.app.isMenuItemEnabled(nullptr));
}

TEST(AppControllerTest, GoingAwayLeavesTheApplicationNoDelegate)
{
    fakes::FakePlatform platform;
    {
        AppController app;
        app.start();
        EXPECT_EQ(platform.application.delegate, &app);
    }
    EXPECT_EQ(platform.application.delegate, nullptr);
    platform.application.terminate();  // must not reach a destroyed controller
}
