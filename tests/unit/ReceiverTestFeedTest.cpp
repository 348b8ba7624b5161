// SPDX-License-Identifier: BSD-2-Clause
#include "quality/ReceiverTestFeed.h"

#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "serial/ReceiverCommands.h"
#include "app/ReceiverTestController.h"
#include "fakes/TestData.h"

namespace {

// The reader's road for one line, through the controller that owns the test.
struct Pipeline {
    ReceiverState state;
    ReceiverTestController controller;
    const ReceiverTest& test = controller.test();

    Pipeline()
    {
        controller.setRestartSender([](RestartDepth) { return true; });
    }
    void line(const std::string& text, double now) { controller.feedLine(state, text, now); }
    // A body without "*hh", as a receiver would send it.
    void body(const std::string& text, double now)
    {
        const ByteBuffer sentence = ReceiverCommands::nmeaSentence(ByteBuffer(text.begin(), text.end()));
        line(std::string(sentence.begin(), sentence.end()), now);
    }
};

}  // namespace

TEST(ReceiverTestFeedTest, ColdStartSentencesStampEachMilestone)
{
    Pipeline p;
    p.controller.connected(990.0);
    // A 3D fix before the restart must not count as the first fix after it.
    p.body("$GPGSA,A,3,05,07,09,,,,,,,,,,1.8,1.0,1.5", 991.0);
    p.body("$GPGGA,115950.00,4807.0380,N,01131.0000,E,1,03,1.0,545.4,M,46.9,M,,", 991.0);
    p.body("$GPGSV,1,1,02,05,40,120,45,07,20,200,41", 991.0);
    ASSERT_TRUE(p.controller.restart(RestartDepth::Cold, 1000.0));
    // Until a fresh satellite cycle, the signals the state holds are from before.
    p.body("$GPGSA,A,1,,,,,,,,,,,,,99.9,99.9,99.9", 1000.8);
    p.body("$GPGGA,120000.00,,,,,0,00,99.9,,M,,M,,", 1000.8);
    p.body("$GPGSA,A,1,,,,,,,,,,,,,99.9,99.9,99.9", 1000.9);
    p.body("$GPGSV,1,1,02,05,40,120,,07,20,200,", 1001.0);  // in view, nothing heard yet
    p.body("$GPGSV,1,1,02,05,40,120,31,07,20,200,", 1009.0);
    p.body("$GLGSV,1,1,01,70,55,045,28", 1011.0);
    p.body("$GPGSA,A,2,05,07,,,,,,,,,,,3.1,2.9,1.0", 1030.0);
    p.body("$GPGGA,120030.00,4807.0380,N,01131.0000,E,1,03,2.9,,M,,M,,", 1030.0);
    p.body("$GNGSA,A,3,05,07,,,,,,,,,,,1.8,1.0,1.5", 1036.0);
    p.body("$GNGSA,A,3,70,,,,,,,,,,,,1.8,1.0,1.5", 1036.0);
    p.body("$GPGGA,120036.00,4807.0381,N,01131.0001,E,1,04,1.0,545.4,M,46.9,M,,", 1036.0);

    const FirstFixRun& run = p.test.firstFix().runs().newest();
    EXPECT_EQ(run.start, RunStart::ColdRestart);
    ASSERT_TRUE(run.firstSentence && run.firstSignal && run.first2dFix && run.first3dFix);
    EXPECT_NEAR(*run.firstSentence, 0.8, 1e-9);
    EXPECT_NEAR(*run.firstSignal, 9.0, 1e-9);
    EXPECT_NEAR(*run.first2dFix, 30.0, 1e-9);
    EXPECT_NEAR(*run.first3dFix, 36.0, 1e-9);
    EXPECT_NEAR(*run.firstFixWith[static_cast<std::size_t>(Constellation::GPS)], 30.0, 1e-9);
    EXPECT_NEAR(*run.firstFixWith[static_cast<std::size_t>(Constellation::GLONASS)], 36.0, 1e-9);
    EXPECT_EQ(p.test.accuracy().size(), 3u);
}

TEST(ReceiverTestFeedTest, OneAccuracyPointPerSecondWhateverTheSentences)
{
    Pipeline p;
    p.controller.connected(0.0);
    p.body("$GPRMC,120000.00,A,4807.0380,N,01131.0000,E,0.02,,080526,,,A", 0.1);
    p.body("$GPGGA,120000.00,4807.0380,N,01131.0000,E,1,08,0.9,545.4,M,46.9,M,,", 0.2);
    p.body("$GPGLL,4807.0380,N,01131.0000,E,120000.00,A,A", 0.3);
    p.body("$GPRMC,120001.00,A,4807.0380,N,01131.0000,E,0.02,,080526,,,A", 1.1);  // same place
    p.body("$GPGGA,120001.00,4807.0380,N,01131.0000,E,1,08,0.9,545.4,M,46.9,M,,", 1.2);
    p.body("$GPRMC,120002.00,V,,,,,,,080526,,,N", 2.1);  // lost: no point
    EXPECT_EQ(p.test.accuracy().size(), 2u);
    EXPECT_NEAR(p.test.accuracy().summary()->cep95Metres, 0.0, 1e-9);
}

// The figures of a receiver standing still for a minute equal those computed apart from
// this code by tools/check/accuracy_check.py (numpy, GGA positions scaled by the
// ellipsoid's radii of curvature): points 61, σE 0.988891, σN 0.356558, CEP50 estimate
// 0.792066, CEP50 1.060688, CEP95 1.591922, 2DRMS 2.102417 metres.
TEST(ReceiverTestFeedTest, RecordedStandstillMatchesTheIndependentFigures)
{
    REQUIRE_TESTDATA(root);
    std::ifstream log(root / "nmea" / "ublox-neo-m9n-nmea.log", std::ios::binary);
    ASSERT_TRUE(log);
    Pipeline p;
    p.controller.connected(0.0);
    double now = 0.0;
    for (std::string line; std::getline(log, line);) {
        if (line.empty() || line[0] != '$') continue;
        now += 0.05;
        p.line(line, now);
    }
    const auto& s = p.test.accuracy().summary();
    ASSERT_TRUE(s);
    EXPECT_EQ(s->points, 61u);
    EXPECT_NEAR(s->sigmaEastMetres, 0.988891, 1e-5);
    EXPECT_NEAR(s->sigmaNorthMetres, 0.356558, 1e-5);
    EXPECT_NEAR(s->cep50EstimateMetres, 0.792066, 1e-5);
    EXPECT_NEAR(s->cep50Metres, 1.060688, 1e-5);
    EXPECT_NEAR(s->cep95Metres, 1.591922, 1e-5);
    EXPECT_NEAR(s->drms2Metres, 2.102417, 1e-5);
    EXPECT_FALSE(s->moving);
    std::printf("replayed: points %zu cep50 %.6f cep95 %.6f 2drms %.6f estimate %.6f receiver %.3f m\n",
                s->points, s->cep50Metres, s->cep95Metres, s->drms2Metres, s->cep50EstimateMetres,
                s->receiverEstimateMetres.value_or(-1.0));
}

// A receiver that sends GGA before RMC: the accuracy point is taken at the GGA, before the
// epoch's own speed has come; the one of the epoch before tells that it moves.
TEST(ReceiverTestFeedTest, ASpeedAfterThePositionStillTellsMovingFromStandingStill)
{
    Pipeline p;
    p.controller.connected(0.0);
    for (int second = 0; second < 5; ++second) {
        const std::string time = "12000" + std::to_string(second);
        const double now = 1.0 + second;
        p.body("$GPGGA," + time + ",4807.0380,N,01131.0000,E,1,08,0.9,545.4,M,46.9,M,,", now);
        p.body("$GPRMC," + time + ",A,4807.0380,N,01131.0000,E,10.0,90.0,230394,,", now);
    }
    const auto& summary = p.test.accuracy().summary();
    ASSERT_TRUE(summary);
    EXPECT_TRUE(summary->moving);
}

// Four systems' streams end and their GSAs come within one cycle: the sky is taken at the
// first change and once more after the run, each time whole, and nothing of it is lost.
TEST(ReceiverTestFeedTest, ASkyRunIsTakenOnceAtItsStartAndOnceAtItsEnd)
{
    Pipeline p;
    p.controller.connected(0.0);
    const auto samplesAt = [&](double time) {
        std::size_t count = 0;
        const auto& samples = p.test.signalHistory().samples();
        for (std::size_t i = 0; i < samples.size(); ++i)
            if (samples[i].timeSeconds == time) ++count;
        return count;
    };
    p.body("$GPGSV,1,1,02,05,40,120,45,07,20,200,41", 1.00);
    p.body("$GLGSV,1,1,01,70,55,045,28", 1.01);
    p.body("$GAGSV,1,1,01,11,30,300,33", 1.02);
    p.body("$GBGSV,1,1,01,21,60,100,37", 1.03);
    p.body("$GNGSA,A,3,05,07,,,,,,,,,,,1.8,1.0,1.5", 1.04);
    EXPECT_EQ(p.test.signalHistory().samples().size(), 2u);  // the first stream, at once
    p.body("$GPGGA,120000.00,4807.0380,N,01131.0000,E,1,03,1.0,545.4,M,46.9,M,,", 1.05);
    EXPECT_EQ(samplesAt(1.05), 5u);  // then the whole sky, used flags and all
    const auto& samples = p.test.signalHistory().samples();
    EXPECT_TRUE(samples[samples.size() - 5].usedInFix);  // GPS 5, from the GSA of the run

    // Half a second on, a change is taken at once again.
    p.body("$GPGSV,1,1,02,05,40,120,46,07,20,200,41", 1.60);
    EXPECT_EQ(samplesAt(1.60), 5u);
}
