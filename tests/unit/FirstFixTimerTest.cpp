// SPDX-License-Identifier: BSD-2-Clause
#include "quality/FirstFixTimer.h"

#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

SatelliteInView sat(Constellation system, int svid, std::optional<int> snr, bool used = false)
{
    SatelliteInView s;
    s.constellation = system;
    s.svid = svid;
    s.elevationDegrees = 40;
    s.azimuthDegrees = 120;
    s.snrDbHz = snr;
    s.usedInFix = used;
    return s;
}

std::size_t index(Constellation system)
{
    return static_cast<std::size_t>(system);
}

}  // namespace

// A cold start as a receiver goes through it, one update at a time.
TEST(FirstFixTimerTest, StampsEachMilestoneOnceFromAScriptedSequence)
{
    FirstFixTimer timer;
    EXPECT_FALSE(timer.clockSeconds(0.0));
    timer.start(100.0, RunStart::Connect);
    timer.sentence(100.5);
    timer.sentence(101.0);
    const std::vector<SatelliteInView> silent{sat(Constellation::GPS, 5, std::nullopt), sat(Constellation::GPS, 7, 0)};
    timer.satellites(101.0, silent);
    timer.fix(101.0, 0);
    const std::vector<SatelliteInView> heard{sat(Constellation::GPS, 5, 31), sat(Constellation::GLONASS, 70, 25)};
    timer.satellites(112.5, heard);
    EXPECT_DOUBLE_EQ(*timer.clockSeconds(120.0), 20.0);

    // GSA marks satellites used before the position sentence says 2D.
    const std::vector<SatelliteInView> usedGps{sat(Constellation::GPS, 5, 33, true), sat(Constellation::GLONASS, 70, 26)};
    timer.satellites(131.0, usedGps);
    timer.fix(132.0, 2);
    timer.fix(138.0, 3);
    const std::vector<SatelliteInView> usedBoth{sat(Constellation::GPS, 5, 35, true), sat(Constellation::GLONASS, 70, 30, true)};
    timer.satellites(145.0, usedBoth);
    timer.fix(146.0, 2);  // dropping back to 2D changes nothing already reached
    timer.fix(147.0, 3);

    const FirstFixRun& run = timer.runs().newest();
    EXPECT_EQ(run.start, RunStart::Connect);
    EXPECT_DOUBLE_EQ(*run.firstSentence, 0.5);
    EXPECT_DOUBLE_EQ(*run.firstSignal, 12.5);
    EXPECT_DOUBLE_EQ(*run.first2dFix, 32.0);
    EXPECT_DOUBLE_EQ(*run.first3dFix, 38.0);
    EXPECT_DOUBLE_EQ(*run.firstFixWith[index(Constellation::GPS)], 32.0);
    EXPECT_DOUBLE_EQ(*run.firstFixWith[index(Constellation::GLONASS)], 45.0);
    EXPECT_FALSE(run.firstFixWith[index(Constellation::Galileo)]);
    // The clock stops at the 3D fix.
    EXPECT_DOUBLE_EQ(*timer.clockSeconds(500.0), 38.0);
}

TEST(FirstFixTimerTest, ARestartBeginsANewRunAndAStopFreezesTheClock)
{
    FirstFixTimer timer;
    timer.start(0.0, RunStart::Connect);
    timer.fix(3.0, 3);
    timer.start(10.0, RunStart::ColdRestart);
    EXPECT_FALSE(timer.runs().newest().first3dFix) << "the old fix must not carry over";
    // Sent before the receiver restarted: neither its fix nor its satellites count.
    timer.fix(10.2, 3);
    timer.satellites(10.2, std::vector{sat(Constellation::GPS, 5, 40, true)});
    EXPECT_FALSE(timer.runs().newest().first3dFix);
    EXPECT_FALSE(timer.runs().newest().firstSignal);
    timer.fix(11.0, 0);
    EXPECT_DOUBLE_EQ(*timer.clockSeconds(25.0), 15.0);
    timer.fix(26.0, 3);
    EXPECT_DOUBLE_EQ(*timer.runs().newest().first3dFix, 16.0);
    // A fix straight to 3D is also the first 2D fix.
    EXPECT_DOUBLE_EQ(*timer.runs().newest().first2dFix, 16.0);

    timer.start(30.0, RunStart::WarmRestart);
    timer.fix(31.0, 0);
    timer.stop(42.0);
    timer.fix(43.0, 3);
    timer.sentence(43.0);
    EXPECT_FALSE(timer.running());
    EXPECT_FALSE(timer.runs().newest().first3dFix);
    EXPECT_FALSE(timer.runs().newest().firstSentence);
    EXPECT_DOUBLE_EQ(*timer.clockSeconds(99.0), 12.0);
}

TEST(FirstFixTimerTest, KeepsTenRunsAndCopiesThemAsATable)
{
    FirstFixTimer timer;
    for (int i = 0; i < 12; ++i) {
        timer.start(100.0 * i, i % 2 ? RunStart::HotRestart : RunStart::Connect);
        timer.sentence(100.0 * i + 1.0);
        timer.fix(100.0 * i + 0.5, 0);
        timer.fix(100.0 * i + i, 3);
    }
    ASSERT_EQ(timer.runs().size(), FirstFixTimer::kRunsKept);
    EXPECT_DOUBLE_EQ(timer.runs().oldest().startedAtSeconds, 200.0);

    std::istringstream text(timer.copyText());
    std::vector<std::string> lines;
    for (std::string line; std::getline(text, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), 11u);
    // No string table in unit tests: the keys stand for the texts.
    EXPECT_EQ(lines[0], "TestStart\tTestFirstSentence\tTestFirstSignal\tTestFirst2D\tTestFirst3D"
                        "\tGPS\tSBAS\tGalileo\tBeiDou\tQZSS\tGLONASS\tNavIC");
    EXPECT_EQ(lines[1], "TestConnect\t1.0\t-\t2.0\t2.0\t-\t-\t-\t-\t-\t-\t-");
    EXPECT_EQ(lines[10], "TestHotStart\t1.0\t-\t11.0\t11.0\t-\t-\t-\t-\t-\t-\t-");
}
