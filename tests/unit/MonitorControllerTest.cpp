// SPDX-License-Identifier: BSD-2-Clause
#include <string>

#include <gtest/gtest.h>

#include "app/MonitorController.h"
#include "fakes/FakeControls.h"
#include "fakes/FakeServices.h"

namespace {

using platform::Color;

class MonitorControllerTest : public ::testing::Test {
protected:
    fakes::FakePlatform platform;
    fakes::FakeDrawer drawer;
    fakes::FakeTextView text;
    fakes::FakeButton start, clear;
    MonitorController monitor;

    void SetUp() override
    {
        platform.bundle.entries = {{"Start", "Start"}, {"Stop", "Stop"}};
        monitor.setMonitorDrawer(&drawer);
        monitor.setMonitorTextView(&text);
        monitor.setStartButton(&start);
        monitor.setClearButton(&clear);
        monitor.start();
    }
};

TEST_F(MonitorControllerTest, RunsFromLaunchWithTheDrawerOpen)
{
    EXPECT_TRUE(drawer.isOpen());
    EXPECT_TRUE(monitor.isRunning());
    EXPECT_EQ(start.title(), "Stop");
    EXPECT_EQ(text.font, (platform::Font{platform::FontKind::Label, 10.0f}));
    monitor.append("$GPGGA,1", true);
    EXPECT_EQ(text.string(), "$GPGGA,1");
    EXPECT_GT(text.scrollCount, 0);
}

TEST_F(MonitorControllerTest, ColoursTellRecognisedFromOther)
{
    monitor.append("$GPGGA,1", true);
    monitor.append("\n", true);
    monitor.append("$GPZDA,2", false);
    monitor.append("\n", false);
    ASSERT_EQ(text.runs.size(), 4u);
    EXPECT_EQ(text.runs[0].color, Color::Green);
    EXPECT_EQ(text.runs[1].color, Color::Green);
    EXPECT_EQ(text.runs[2].color, Color::Yellow);
    EXPECT_EQ(text.runs[3].color, Color::Yellow);
}

// A binary frame is one whole line in a colour of its own, between sentences of either kind.
TEST_F(MonitorControllerTest, BinaryFramesAreOneLineEachInTheirOwnColour)
{
    monitor.append("$GPGGA,1", true);
    monitor.append("\n", true);
    monitor.appendFrame("UBX NAV-PVT 92 bytes");
    monitor.appendFrame("RTCM3 1077 station 0 244 bytes");
    monitor.appendFrame("");
    monitor.append("$GPZDA,2", false);
    monitor.append("\n", false);
    EXPECT_EQ(text.string(), "$GPGGA,1\nUBX NAV-PVT 92 bytes\nRTCM3 1077 station 0 244 bytes\n$GPZDA,2\n");
    EXPECT_EQ(text.lineCount(), 4u);
    ASSERT_EQ(text.runs.size(), 8u);
    const Color frame = text.runs[2].color;
    EXPECT_NE(frame, Color::Green);
    EXPECT_NE(frame, Color::Yellow);
    for (std::size_t i = 2; i < 6; ++i) EXPECT_EQ(text.runs[i].color, frame) << i;
    EXPECT_EQ(text.runs[6].color, Color::Yellow);
}

TEST_F(MonitorControllerTest, StoppedDropsLinesAndEmptyTextsAddNothing)
{
    monitor.append("", true);
    EXPECT_TRUE(text.runs.empty());

    monitor.onGPSMonitorStart();
    EXPECT_FALSE(monitor.isRunning());
    EXPECT_EQ(start.title(), "Start");
    monitor.append("$GPGGA,lost", true);
    monitor.onGPSMonitorStart();
    monitor.append("$GPGGA,new", true);
    EXPECT_EQ(text.string(), "$GPGGA,new");
}

TEST_F(MonitorControllerTest, ClearEmptiesTheTextAndKeepsTheState)
{
    monitor.onGPSMonitorClear();
    EXPECT_EQ(text.redisplayCount, 0);  // nothing to clear, nothing done

    monitor.append("$GPGGA,1\n", true);
    monitor.onGPSMonitorClear();
    EXPECT_EQ(text.string(), "");
    EXPECT_EQ(text.redisplayCount, 1);
    EXPECT_TRUE(monitor.isRunning());
}

TEST_F(MonitorControllerTest, ClosingTheDrawerByHandStopsMonitoring)
{
    drawer.userClose();
    EXPECT_FALSE(monitor.isRunning());
    EXPECT_EQ(start.title(), "Start");
    drawer.open();
    EXPECT_EQ(start.title(), "Start");
    monitor.append("$GPGGA,1", true);
    EXPECT_TRUE(text.runs.empty());
}

TEST_F(MonitorControllerTest, CloseStopsAndClears)
{
    monitor.append("$GPGGA,1\n", true);
    monitor.close();
    EXPECT_FALSE(drawer.isOpen());
    EXPECT_FALSE(monitor.isRunning());
    EXPECT_EQ(text.string(), "");
    EXPECT_EQ(start.title(), "Start");
}

TEST_F(MonitorControllerTest, KeepsOnlyTheNewestLines)
{
    const std::size_t total = MonitorController::kMaxLines + 250;
    for (std::size_t i = 0; i < total; ++i) {
        monitor.append("$GPGGA," + std::to_string(i), i % 2 == 0);
        monitor.append("\n", i % 2 == 0);
    }
    EXPECT_EQ(text.lineCount(), MonitorController::kMaxLines);
    const std::string all = text.string();
    EXPECT_EQ(all.rfind("$GPGGA,250\n", 0), 0u) << all.substr(0, 40);
    EXPECT_NE(all.find("$GPGGA," + std::to_string(total - 1) + "\n"), std::string::npos);
    // The runs that stayed keep their colours.
    EXPECT_EQ(text.runs.front().color, Color::Green);
    EXPECT_EQ(text.runs.back().color, Color::Yellow);
}

// A stream of long garbage lines is held to a budget of characters, not only of lines; the
// newest line is always there, and clearing starts the count afresh.
TEST_F(MonitorControllerTest, LongLinesAreKeptWithinACharacterBudget)
{
    const std::string noise(1000, '#');
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        for (int i = 0; i < 3000; ++i) {
            monitor.append(noise + std::to_string(i), false);
            monitor.append("\n", false);
        }
        EXPECT_LE(text.length(), MonitorController::kMaxCharacters);
        EXPECT_GE(text.length(), MonitorController::kMaxCharacters - 1100);
        const std::string all = text.string();
        EXPECT_EQ(all.substr(all.size() - 5), "2999\n");
        EXPECT_EQ(all.rfind(noise, 0), 0u) << "whole lines go, not parts of one";
        monitor.onGPSMonitorClear();
    }
}

TEST_F(MonitorControllerTest, MarkupIsShownAsTyped)
{
    monitor.append("$GPTXT,<b>bold</b>&amp;", false);
    EXPECT_EQ(text.string(), "$GPTXT,<b>bold</b>&amp;");
}

}  // namespace
