// SPDX-License-Identifier: BSD-2-Clause
// The reader thread, connection management and the hand-off to the main thread, with the
// real Serial against the simulated receiver.

#include <algorithm>
#include <filesystem>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "app/ReceiverTestController.h"
#include "serial/PortDiscovery.h"
#include "integration/GPSControllerHarness.h"
#include "posix/PosixClock.h"

namespace {

using namespace std::chrono_literals;
using harness::SteadyClock;
using platform::Color;

class GPSControllerReaderTest : public harness::ControllerTest {
protected:
    // The simulated route, unpaced and sped up, streaming into the woken controller; false
    // (the test skipped or failed) when it could not be started or nothing arrived.
    bool streamUnpaced(double speedup)
    {
        sim::Options options;
        options.unpaced = true;
        options.speedup = speedup;
        if (!startSimulator(options)) return false;
        const std::string port = simulator->devicePath();
        PortDiscovery::addExtraPort(port);
        restore(port, "4800");
        wake();
        const bool streaming = until([&] { return monitorView.green > 200; }, 10.0);
        EXPECT_TRUE(streaming);
        return streaming;
    }
    // The simulated route at 38400 bit/s, connected and showing sentences.
    bool streamAt38400()
    {
        sim::Options options;
        options.rate = 38400;
        if (!startSimulator(options)) return false;
        const std::string port = simulator->devicePath();
        PortDiscovery::addExtraPort(port);
        restore(port, "38400");
        wake();
        const bool streaming =
            until([&] { return openLineShown(port, "38400") && monitorView.green > 3; }, 8.0);
        EXPECT_TRUE(streaming);
        return streaming;
    }
};

std::string received(const sim::Simulator& simulator)
{
    const auto bytes = simulator.received();
    return std::string(bytes.begin(), bytes.end());
}

// Handlers must keep running while the test waits, or the reader would wait for them.
#define UNTIL_RECEIVED(count, seconds) \
    until([&] { return received(*simulator).size() >= (count); }, seconds)

const std::string kSetNmea =
    "$PSRF103,00,00,01,01*25\r\n$PSRF103,01,00,01,01*24\r\n$PSRF103,02,00,05,01*23\r\n"
    "$PSRF103,03,00,05,01*22\r\n$PSRF103,04,00,01,01*21\r\n$PSRF103,05,00,01,01*20\r\n";

TEST_F(GPSControllerReaderTest, ConnectsOnItsOwnAboutTwoSecondsAfterStart)
{
    if (!startSimulator({})) return;
    const std::string port = simulator->devicePath();
    PortDiscovery::addExtraPort(port);
    restore(port, "4800");

    const auto woken = SteadyClock::now();
    wake();
    ASSERT_TRUE(until([&] { return openLineShown(port, "4800"); }, 6.0));
    const double seconds = std::chrono::duration<double>(SteadyClock::now() - woken).count();
    EXPECT_GE(seconds, 1.9);
    EXPECT_LT(seconds, 4.0);
    EXPECT_TRUE(controller().hasConnection());
    EXPECT_EQ(monitorView.lines.front().color, Color::Yellow);

    // Sentences flow into the read-outs.
    ASSERT_TRUE(until([&] { return !window->utc.text.empty() && window->latitude.value; }, 10.0));
    EXPECT_EQ(window->dataReady.dataReadyState(), 2u);
    EXPECT_GT(monitorView.green, 0u);
    EXPECT_FALSE(window->settingsDrawer.isOpen());

    // The fresh-connection sequence: no rate switch, only the output rates.
    ASSERT_TRUE(UNTIL_RECEIVED(kSetNmea.size(), 5.0));
    EXPECT_EQ(received(*simulator), kSetNmea);
}

TEST_F(GPSControllerReaderTest, WithoutARestoredChoiceTheSettingsDrawerOpens)
{
    PortDiscovery::addExtraPort("/dev/ttyGPSDESK-none");
    wake();
    EXPECT_FALSE(window->settingsDrawer.isOpen());
    ASSERT_TRUE(until([&] { return window->settingsDrawer.isOpen(); }, 6.0));
    EXPECT_FALSE(controller().hasConnection());
    EXPECT_EQ(controller().threadCommand(), 0u);
}

TEST_F(GPSControllerReaderTest, ReconnectTellsTheReceiverItsNewRateFirst)
{
    if (!startSimulator({})) return;
    const std::string port = simulator->devicePath();
    PortDiscovery::addExtraPort(port);
    restore(port, "4800");
    wake();
    ASSERT_TRUE(until([&] { return openLineShown(port, "4800"); }, 6.0));
    ASSERT_TRUE(UNTIL_RECEIVED(kSetNmea.size(), 5.0));

    // A connect command while connected does nothing.
    controller().onGPSConnect();
    EXPECT_EQ(controller().threadCommand(), 0u);

    window->rateBox.selectItemAtIndex(1);  // 9600
    controller().onGPSSettingsChange();
    const std::string initialize = "$PSRF100,1,9600,8,1,0*0D\r\n";
    ASSERT_TRUE(UNTIL_RECEIVED(kSetNmea.size() + initialize.size(), 5.0));
    const auto switchSent = SteadyClock::now();

    // The display is cleared when the old port closes, then the new one opens at 9600.
    ASSERT_TRUE(until([&] { return openLineShown(port, "9600"); }, 10.0));
    const double gap = std::chrono::duration<double>(SteadyClock::now() - switchSent).count();
    EXPECT_GE(gap, 0.95);
    EXPECT_TRUE(controller().hasConnection());

    ASSERT_TRUE(UNTIL_RECEIVED(2 * kSetNmea.size() + initialize.size(), 8.0));
    EXPECT_EQ(received(*simulator), kSetNmea + initialize + kSetNmea);
    EXPECT_EQ(simulator->rate(), 9600u);
}

TEST_F(GPSControllerReaderTest, APortThatCannotBeOpenedGivesTheSheet)
{
    const std::string missing = "/dev/gpsdesk-no-such-port";
    PortDiscovery::addExtraPort(missing);
    restore(missing, "4800");
    platform.bundle.entries = {{"UnableToOpenPort", "Unable to open"}, {"OK", "OK"},
                               {"DoctorGone", "%@ is gone."},
                               {"DoctorNoPorts", "No ports."}};
    wake();
    ASSERT_TRUE(until([&] { return !platform.alerts.sheets.empty(); }, 6.0));
    const auto& sheet = platform.alerts.sheets[0];
    EXPECT_EQ(sheet.message, "Unable to open");
    EXPECT_EQ(sheet.informative, missing + " is gone.\nNo ports.");
    EXPECT_EQ(sheet.button, "OK");
    EXPECT_EQ(sheet.window, &window->window);
    EXPECT_FALSE(controller().hasConnection());
    EXPECT_FALSE(monitorView.contains("#### Open"));
}

TEST_F(GPSControllerReaderTest, BrokenAndForeignLinesAreShownNowhere)
{
    if (!streamAt38400()) return;

    const std::string overlong = "$GPGGA," + std::string(260, '7') + ",TAILMARK*00\r\n";
    simulator->injectBytes(controllertest::onTheWire("$GPGST,223745.00,228650,2.5,2.4,126,0.98,1.0,3.1") +
                           "$GPGGA,BADSUM,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*00\r\n" +
                           controllertest::onTheWire("$PSRFX,PROPRIETARY") + overlong +
                           controllertest::onTheWire("!AIVDM,1,1,,B,AISMARK,0") +
                           controllertest::onTheWire("$GPTXT,ENDMARK"));
    ASSERT_TRUE(until([&] { return monitorView.contains("$GPTXT,ENDMARK"); }, 8.0));

    for (const char* hidden : {"BADSUM", "PROPRIETARY", "TAILMARK", "7777", "AISMARK"})
        EXPECT_FALSE(monitorView.contains(hidden)) << hidden;
    bool unknownSeen = false;
    for (const auto& line : monitorView.lines) {
        if (line.text != "$GPGST,223745.00,228650,2.5,2.4,126,0.98,1.0,3.1") continue;
        unknownSeen = true;
        EXPECT_EQ(line.color, Color::Yellow);
        EXPECT_EQ(line.lampWhenShown, 1u);
    }
    EXPECT_TRUE(unknownSeen);
    EXPECT_TRUE(controller().hasConnection());
}

// Once a receiver has sent checksums, a line without one was cut short on the way: it is
// shown as rejected and never handled. A CR alone ends a line.
TEST_F(GPSControllerReaderTest, CutLinesAreRejectedAndCarriageReturnsEndLines)
{
    platform.bundle.entries = {{"BrokenLine", "cut line"}};
    if (!streamAt38400()) return;
    std::string crOnly = controllertest::onTheWire("$GPTXT,CRONLY");
    crOnly.pop_back();  // the LF
    simulator->injectBytes("$GPRMC,122150.000,A,4809.9020,N,01131.2300,E,3\r\n$GPVTG,30\r\n" + crOnly +
                           controllertest::onTheWire("$GPTXT,ENDMARK"));
    ASSERT_TRUE(until([&] { return monitorView.contains("$GPTXT,ENDMARK"); }, 8.0));
    EXPECT_TRUE(monitorView.contains("$GPTXT,CRONLY"));
    EXPECT_TRUE(monitorView.contains("$GPRMC,122150.000,A,4809.9020,N,01131.2300,E,3  <- cut line"));
    EXPECT_TRUE(monitorView.contains("$GPVTG,30  <- cut line"));
    EXPECT_EQ(controller().brokenLines(), 2u);
    EXPECT_NE(controller().sog(), 3.0f);
    EXPECT_NE(controller().cog(), 30.0f);
}

TEST_F(GPSControllerReaderTest, AnUnpluggedDeviceEndsTheConnectionAndCanComeBack)
{
    const std::string link =
        (std::filesystem::path(::testing::TempDir()) / ("gpsdesk-link-" + std::to_string(::getpid())))
            .string();
    sim::Options options;
    options.linkPath = link;
    if (!startSimulator(options)) return;
    PortDiscovery::addExtraPort(link);
    restore(link, "4800");
    platform.bundle.entries = {{"ConnectionLost", "Lost"}};
    wake();
    ASSERT_TRUE(until([&] { return openLineShown(link, "4800") && monitorView.green > 0; }, 8.0));

    simulator->unplug();
    ASSERT_TRUE(until([&] { return !platform.alerts.sheets.empty(); }, 5.0));
    EXPECT_EQ(platform.alerts.sheets[0].message, "Lost");
    EXPECT_EQ(platform.alerts.sheets[0].informative, link);
    EXPECT_FALSE(controller().hasConnection());
    EXPECT_EQ(window->dataReady.dataReadyState(), 0u);  // connectionClosed ran
    EXPECT_EQ(window->utc.text, "");

    // The reader goes back to idling, not spinning on the dead descriptor.
    const auto before = harness::threadCpuSeconds("gpsdesk-reader");
    ASSERT_TRUE(before.has_value());
    until([] { return false; }, 2.0);
    const auto after = harness::threadCpuSeconds("gpsdesk-reader");
    ASSERT_TRUE(after.has_value());
    EXPECT_LT(*after - *before, 0.05);
    EXPECT_EQ(platform.alerts.sheets.size(), 1u);

    // The device is back (a new receiver behind the same link): connect opens it again.
    simulator.reset();
    if (!startSimulator(options)) return;
    const std::size_t shown = monitorView.lines.size();
    controller().onGPSConnect();
    ASSERT_TRUE(until([&] { return controller().hasConnection() && monitorView.green > 0 &&
                                   monitorView.lines.size() > shown + 1; },
                      8.0));
    EXPECT_EQ(monitorView.lines[shown].text, "#### Open " + link + " at 4800");
}

TEST_F(GPSControllerReaderTest, QuittingWhileSentencesStreamIsClean)
{
    if (!streamUnpaced(500.0)) return;

    // Quit with the reader most likely waiting for a handler that will never run.
    const auto start = SteadyClock::now();
    controller().shutdown();
    const double seconds = std::chrono::duration<double>(SteadyClock::now() - start).count();
    EXPECT_LT(seconds, 1.0);
    EXPECT_FALSE(harness::threadCpuSeconds("gpsdesk-reader").has_value());

    // Calls still queued are harmless now, also once the controller is gone.
    window->controller.reset();
    platform.mainThread.processEvents();
}

// The reader does not wait for each update: with the main thread stuck elsewhere it gives it a
// quarter second, then reads on; the queue stays bounded, and the oldest updates it had to
// drop are counted and shown. On a steady line drains come at most ~10 times a second.
TEST_F(GPSControllerReaderTest, ABusyMainThreadCostsOldUpdatesNeverTheReader)
{
    platform.bundle.entries = {{"UpdatesDropped", "dropped:"}};
    if (!streamUnpaced(2000.0)) return;

    // Drains are asked for at most ~10 times a second while the line streams (a backlog of a
    // thousand updates asks sooner, twice a second at this pace).
    const std::size_t postedBefore = platform.mainThread.posted();
    until([] { return false; }, 1.0);
    EXPECT_LE(platform.mainThread.posted() - postedBefore, 16u);

    // The main thread looks away until the reader, reading on, has had to drop updates
    // (seconds here; longer under a sanitizer).
    const auto readerBefore = harness::threadCpuSeconds("gpsdesk-reader");
    for (int slice = 0; slice < 600 && controller().droppedUpdates() == 0; ++slice)
        std::this_thread::sleep_for(100ms);
    EXPECT_GT(*harness::threadCpuSeconds("gpsdesk-reader"), *readerBefore);
    ASSERT_TRUE(until([&] { return controller().droppedUpdates() > 0 && monitorView.contains("dropped:"); }, 5.0));
    EXPECT_GT(monitorView.green, GPSController::kUpdateQueueLimit / 2);
}

TEST_F(GPSControllerReaderTest, QuittingWhileTheLineIsSilentDoesNotWaitOutTheReadTimeOut)
{
    if (!startSimulator({})) return;
    const std::string port = simulator->devicePath();
    PortDiscovery::addExtraPort(port);
    restore(port, "4800");
    wake();
    ASSERT_TRUE(until([&] { return openLineShown(port, "4800") && window->latitude.value; }, 8.0));
    simulator->silence(3600);
    // Long enough for the reader to be inside its 5 s of waits for the next byte.
    until([] { return false; }, 1.2);

    const auto start = SteadyClock::now();
    controller().shutdown();
    const double seconds = std::chrono::duration<double>(SteadyClock::now() - start).count();
    EXPECT_LT(seconds, 0.3);
    EXPECT_FALSE(harness::threadCpuSeconds("gpsdesk-reader").has_value());
}

TEST_F(GPSControllerReaderTest, StalenessWarningsWhileConnectedDoNotPileUp)
{
    if (!startSimulator({})) return;
    const std::string port = simulator->devicePath();
    PortDiscovery::addExtraPort(port);
    restore(port, "4800");
    platform.bundle.entries = {{"NoGPSPositionData", "No position"}};
    wake();
    ASSERT_TRUE(until([&] { return openLineShown(port, "4800") && window->latitude.value; }, 8.0));
    simulator->silence(3600);  // connected, but nothing arrives any more
    until([] { return false; }, 0.3);
    platform.mainThread.processEvents();

    // The 15-second staleness timer, not the settings drawer's device rescan.
    const auto& timers = platform.application.timers;
    const auto found = std::find_if(timers.begin(), timers.end(),
                                    [](const fakes::FakeTimer* t) { return t->intervalSeconds == 15.0; });
    ASSERT_NE(found, timers.end());
    fakes::FakeTimer& timer = **found;
    auto tick = [&](double seconds) {
        platform.clock.advance(seconds);
        timer.fire();
    };
    tick(90.0);
    EXPECT_EQ(platform.application.beepCount, 0);  // not more than 90 s yet
    tick(1.0);
    EXPECT_EQ(platform.application.beepCount, 1);
    ASSERT_EQ(platform.alerts.sheets.size(), 1u);
    EXPECT_EQ(platform.alerts.sheets[0].message, "No position");
    EXPECT_FALSE(platform.alerts.sheets[0].informative.has_value());
    EXPECT_EQ(window->dataReady.dataReadyState(), 0u);

    tick(15.0);  // the watch was reset by the warning
    EXPECT_EQ(platform.application.beepCount, 1);

    // Still unanswered: the next warning beeps and dims, but adds no sheet.
    window->dataReady.drawDataReady(2);
    tick(90.0);
    EXPECT_EQ(platform.application.beepCount, 2);
    EXPECT_EQ(window->dataReady.dataReadyState(), 0u);
    EXPECT_EQ(platform.alerts.sheets.size(), 1u);

    platform.alerts.answerSheet(0);
    tick(91.0);
    EXPECT_EQ(platform.application.beepCount, 3);
    EXPECT_EQ(platform.alerts.sheets.size(), 2u);

    // A silent line holds the reader in its read for up to 5 s; a hang-up ends it at once.
    simulator->unplug();
}

}  // namespace

// The receiver test sees the connect and every sentence through the window controller, and
// its cold restart goes out through the reader thread and comes back as a new run.
TEST_F(GPSControllerReaderTest, ReceiverTestTimesTheConnectAndARestartSentThroughTheReader)
{
    platform::posix::PosixClock realClock;  // the fake clock stands still
    platform::Clock* const fakeClock = platform::services().clock;
    platform::services().clock = &realClock;
    ReceiverTestController test;
    controller().setReceiverTestController(&test);
    test.setRestartSender([this](RestartDepth depth) { return controller().requestRestart(depth); });

    if (streamUnpaced(10.0)) {
        const auto& runs = test.test().firstFix().runs();
        ASSERT_TRUE(until([&] { return !runs.empty() && runs.newest().first3dFix.has_value(); }, 10.0));
        EXPECT_EQ(runs.newest().start, RunStart::Connect);
        EXPECT_GT(test.test().accuracy().size(), 0u);
        EXPECT_FALSE(test.restartRefusal()) << "the simulated receiver speaks GP only";

        ASSERT_TRUE(test.restart(RestartDepth::Cold, realClock.now()));
        ASSERT_TRUE(until([&] { return received(*simulator).find("$PSRF101,0,0,0,0,0,0,12,4*10\r\n") != std::string::npos; },
                          5.0));
        EXPECT_EQ(runs.newest().start, RunStart::ColdRestart);
        // 38 simulated seconds to the 3D fix, ten of them a real second.
        ASSERT_TRUE(until([&] { return runs.newest().first3dFix.has_value(); }, 15.0));
        EXPECT_GT(*runs.newest().first3dFix, 2.0);
        EXPECT_LT(*runs.newest().first3dFix, 10.0);
    }
    controller().shutdown();
    controller().setReceiverTestController(nullptr);
    platform::services().clock = fakeClock;
}
