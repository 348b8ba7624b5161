// SPDX-License-Identifier: BSD-2-Clause
#include <gtest/gtest.h>

#include <filesystem>
#include <cstdlib>
#include <fstream>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

#include <unistd.h>

#include "GuiTestApp.h"
#include "fakes/FakeServices.h"
#include "qt/QtMainThread.h"
#include "qt/ReplayControls.h"
#include "qt/ShareSettings.h"
#include "qt/StreamTaps.h"
#include "app/GPSController.h"
#include "sim/Simulator.h"

namespace {

using namespace qtplatform;

// The note says who can connect for what is typed, and Start/Stop runs the share and shows
// the pseudo-terminal it made.
TEST(StreamPanesTest, ShareSettingsFollowTheAddressAndRunTheShare)
{
    guiTestApp();
    // The link goes to a folder of the test's own, not to a running program's.
    const auto runtime = std::filesystem::temp_directory_path() / ("share-ui-" + std::to_string(::getpid()));
    std::filesystem::create_directories(runtime);
    // A runtime folder is the user's alone; the link goes into no other.
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    const char* oldRuntime = std::getenv("XDG_RUNTIME_DIR");
    const std::string savedRuntime = oldRuntime ? oldRuntime : "";
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    fakes::FakePlatform platform;
    GPSController controller;
    QtMainThread mainThread;
    StreamTaps taps(controller, mainThread);
    ShareSettings settings(taps);
    const QString loopbackNote = settings.noteLabel()->text();

    settings.endpointField()->setText(QStringLiteral("0.0.0.0:10110"));
    EXPECT_NE(settings.noteLabel()->text(), loopbackNote);
    settings.endpointField()->setText(QStringLiteral("not an address"));
    EXPECT_FALSE(settings.toggleButton()->isEnabled());

    // Port 0 is not a choice a user can type; an unused high port stands in for 10110.
    settings.endpointField()->setText(QStringLiteral("127.0.0.1:%1").arg(40000 + ::getpid() % 20000));
    EXPECT_EQ(settings.noteLabel()->text(), loopbackNote);
    settings.toggleButton()->click();
    ASSERT_TRUE(taps.share().running()) << settings.noteLabel()->text().toStdString();
    EXPECT_FALSE(settings.endpointField()->isEnabled());
    EXPECT_TRUE(settings.ptyLabel()->text().contains(QString::fromStdString(taps.share().ptyPath())));
    EXPECT_TRUE(std::filesystem::is_symlink(runtime / "gpsdesk" / "nmea"));
    settings.toggleButton()->click();
    EXPECT_FALSE(taps.share().running());
    EXPECT_TRUE(settings.endpointField()->isEnabled());

    // Started elsewhere (the command line) on every interface: the pane shows where, and says
    // that other computers can read along.
    NmeaShare::Options everywhere;
    everywhere.address = "0.0.0.0";
    everywhere.port = 0;
    std::string error;
    ASSERT_TRUE(taps.startSharing(everywhere, error)) << error;
    settings.refresh();
    EXPECT_TRUE(settings.endpointField()->text().startsWith(QStringLiteral("0.0.0.0:")))
        << settings.endpointField()->text().toStdString();
    EXPECT_NE(settings.noteLabel()->text(), loopbackNote);
    taps.stopSharing();
    if (oldRuntime)
        ::setenv("XDG_RUNTIME_DIR", savedRuntime.c_str(), 1);
    else
        ::unsetenv("XDG_RUNTIME_DIR");
    std::filesystem::remove_all(runtime);
}

TEST(StreamPanesTest, ReplayControlsDriveTheSimulator)
{
    guiTestApp();
    const auto log = std::filesystem::temp_directory_path() / ("controls-" + std::to_string(::getpid()) + ".nmea");
    std::ofstream(log) << "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";
    sim::Options options;
    options.replayPath = log.string();
    options.replaySpeed = 4.0;
    options.replayWhenSpokenTo = true;  // nothing plays while the test looks
    sim::Simulator simulator(options);
    ASSERT_TRUE(simulator.start()) << simulator.error();
    ReplayControls controls(simulator);
    EXPECT_EQ(controls.speedBox()->currentData().toDouble(), 4.0);
    {
        // A factor not on the list is shown as it is, not as the first entry.
        sim::Options fast = options;
        fast.replaySpeed = 1000.0;
        sim::Simulator other(fast);
        ReplayControls shown(other);
        EXPECT_EQ(shown.speedBox()->currentData().toDouble(), 1000.0);
        EXPECT_TRUE(shown.speedBox()->currentText().startsWith(QStringLiteral("1000")));
    }

    controls.pauseButton()->click();
    EXPECT_TRUE(simulator.replayPaused());
    controls.pauseButton()->click();
    EXPECT_FALSE(simulator.replayPaused());
    const int fastest = controls.speedBox()->findData(0.0);
    ASSERT_GE(fastest, 0);
    controls.speedBox()->setCurrentIndex(fastest);
    emit controls.speedBox()->activated(fastest);
    EXPECT_EQ(simulator.replaySpeed(), 0.0);
    simulator.stop();
    std::filesystem::remove(log);
}

}  // namespace
