// SPDX-License-Identifier: BSD-2-Clause
#include "instruments/ReceiverTestView.h"

#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

#include "quality/ReceiverTest.h"
#include "fakes/FakeCanvas.h"
#include "fakes/FakeControls.h"

using platform::Color;

namespace {

const GeodeticPosition kOrigin{38.11049, -122.62690, 83.0};

FixSample at(double east, double north, float knots = 0.0f)
{
    FixSample fix;
    fix.position = LocalTangentPlane(kOrigin).toGeodetic({east, north, 0.0});
    fix.hdop = 1.0f;
    fix.speedKnots = knots;
    return fix;
}

SatelliteInView sat(Constellation system, int svid, int elevation, int azimuth, std::optional<int> snr, bool used)
{
    SatelliteInView s;
    s.constellation = system;
    s.svid = svid;
    s.elevationDegrees = elevation;
    s.azimuthDegrees = azimuth;
    s.snrDbHz = snr;
    s.usedInFix = used;
    return s;
}

// An 800 x 600 view: the scatter's quarter is 400 wide, so its plot is 400 - 200 - 16 = 184
// points across.
struct Drawn {
    fakes::FakeViewHost host;
    ReceiverTestView view;
    fakes::FakeCanvas canvas;

    explicit Drawn(const ReceiverTest& test, double now = 0.0)
    {
        host.frame = {0, 0, 800, 600};
        view.setHost(&host);
        view.setReceiverTest(&test);
        view.setNow(now);
        view.drawRect(canvas, host.bounds());
    }
    std::vector<fakes::FakeCanvas::Call> ovalsOf(Color color) const
    {
        std::vector<fakes::FakeCanvas::Call> found;
        for (const auto& call : canvas.callsOf("strokeOval"))
            if (call.color == color) found.push_back(call);
        return found;
    }
};

}  // namespace

TEST(ReceiverTestViewTest, ScatterCirclesAreTheFiguresAtTheScaleOfTheOuterRing)
{
    ReceiverTest test;
    for (const auto& p : {at(2, 1), at(4, 1), at(2, 5), at(4, 5), at(3, 3)}) test.position(1.0, 3, p);
    const Drawn drawn(test);
    // Largest figure 2DRMS = 4 m → a 5 m ring of radius 92: 18.4 points per metre.
    ASSERT_FALSE(drawn.canvas.texts("5 m").empty());
    const auto cep50 = drawn.ovalsOf(Color::Green);
    const auto drms = drawn.ovalsOf(Color::Red);
    ASSERT_EQ(cep50.size(), 1u);
    ASSERT_EQ(drms.size(), 1u);
    EXPECT_NEAR(cep50[0].args[2], 2 * 2.236068 * 18.4, 0.01);
    EXPECT_NEAR(drms[0].args[2], 2 * 4.0 * 18.4, 0.01);
    // Centred on the mean, which is the middle of the scatter's plot.
    EXPECT_NEAR(drms[0].args[0] + drms[0].args[2] / 2, 400 + 8 + 92, 0.01);
    EXPECT_EQ(drawn.canvas.callsOf("fillOval").size(), 5u);
    EXPECT_FALSE(drawn.canvas.texts("TestCep50 2.24 m").empty());
    EXPECT_FALSE(drawn.canvas.texts("TestDrms2 4.00 m").empty());
    EXPECT_FALSE(drawn.canvas.texts("TestCep50Estimate 1.58 m").empty());
    EXPECT_FALSE(drawn.canvas.texts("TestReceiverEstimate 7.47 m").empty());
    EXPECT_TRUE(drawn.canvas.texts("TestMoving").empty());
}

TEST(ReceiverTestViewTest, MovingGreysTheScatterAndSaysWhy)
{
    ReceiverTest test;
    for (const auto& p : {at(0, 0), at(1, 0), at(0, 1, 3.0f)}) test.position(1.0, 3, p);
    const Drawn drawn(test);
    EXPECT_TRUE(drawn.ovalsOf(Color::Green).empty());
    EXPECT_TRUE(drawn.ovalsOf(Color::Red).empty());
    for (const auto& dot : drawn.canvas.callsOf("fillOval")) EXPECT_EQ(dot.color, Color::LightGray);
    const auto note = drawn.canvas.texts("TestMoving");
    ASSERT_EQ(note.size(), 1u);
    EXPECT_EQ(note[0].color, Color::Red);
}

TEST(ReceiverTestViewTest, StripChartJoinsEachSatellitesSamplesInItsColour)
{
    ReceiverTest test;
    for (int t = 0; t < 3; ++t) {
        test.satellites(t, std::vector{sat(Constellation::GPS, 5, 40, 10, 40, true),
                                       sat(Constellation::GLONASS, 5, 20, 200, 30, false)});
    }
    // Lost for a minute, then back: no line across the gap. No signal: no line.
    test.satellites(63, std::vector{sat(Constellation::GPS, 5, 40, 10, 41, true),
                                    sat(Constellation::GLONASS, 5, 20, 200, std::nullopt, false)});
    test.satellites(64, std::vector{sat(Constellation::GPS, 5, 40, 10, 42, true),
                                    sat(Constellation::GLONASS, 5, 20, 200, 31, false)});
    const Drawn drawn(test, 64.0);
    std::vector<fakes::FakeCanvas::Call> gps, glonass;
    for (const auto& line : drawn.canvas.callsOf("strokeLine")) {
        if (line.color == Color::Blue) gps.push_back(line);
        if (line.color == Color::Red) glonass.push_back(line);
    }
    ASSERT_EQ(gps.size(), 3u);  // 0-1, 1-2, 63-64
    ASSERT_EQ(glonass.size(), 2u);  // 0-1, 1-2
    for (const auto& line : gps) EXPECT_FLOAT_EQ(line.lineWidth, 2.0f);
    for (const auto& line : glonass) EXPECT_FLOAT_EQ(line.lineWidth, 1.0f);
    // Newest at the right edge of the plot (x = 400 - 8), 40 dB-Hz two thirds up.
    EXPECT_NEAR(gps[2].args[2], 392.0, 0.01);
    EXPECT_FALSE(drawn.canvas.texts("GPS").empty());
    EXPECT_FALSE(drawn.canvas.texts("GLONASS").empty());
}

TEST(ReceiverTestViewTest, ObstructionCellsAreShadedByTheirMedian)
{
    ReceiverTest test;
    test.satellites(0, std::vector{sat(Constellation::GPS, 1, 45, 40, 45, true),
                                   sat(Constellation::GPS, 2, 5, 200, std::nullopt, false),
                                   sat(Constellation::GPS, 3, 75, 300, 20, false)});
    const Drawn drawn(test);
    std::vector<Color> shades;
    for (const auto& cell : drawn.canvas.callsOf("fillPolygon")) shades.push_back(cell.color);
    ASSERT_EQ(shades.size(), 3u);
    // Cells are drawn from the horizon up.
    EXPECT_EQ(shades[0], Color::Red);
    EXPECT_EQ(shades[1], Color::Green);
    EXPECT_EQ(shades[2], Color::Orange);
}

TEST(ReceiverTestViewTest, ClockAndRunsTable)
{
    ReceiverTest test;
    const Drawn idle(test);
    EXPECT_FALSE(idle.canvas.texts("-- s").empty());
    EXPECT_FALSE(idle.canvas.texts("TestNotConnected").empty());

    test.started(10.0, RunStart::ColdRestart);
    test.sentence(10.5);
    test.position(10.5, 0, std::nullopt);
    test.satellites(12.0, std::vector{sat(Constellation::Galileo, 3, 50, 50, 38, true)});
    test.position(45.25, 3, at(0, 0));
    const Drawn drawn(test, 100.0);
    EXPECT_FALSE(drawn.canvas.texts("35.2 s").empty());
    EXPECT_FALSE(drawn.canvas.texts("TestColdStart: TestHave3D").empty());
    const auto letter = drawn.canvas.texts("E");
    EXPECT_TRUE(std::any_of(letter.begin(), letter.end(), [](const auto& c) { return c.color == Color::Purple; }))
        << "a Galileo column";
    EXPECT_EQ(drawn.canvas.texts("35.2").size(), 3u);  // 2D, 3D and Galileo
}

TEST(ReceiverTestViewTest, ScatterRangeIsARoundNumberAbove)
{
    const struct {
        double metres, range;
    } cases[] = {{0.0, 0.1}, {0.05, 0.1}, {0.3, 0.5}, {1.0, 1.0}, {1.01, 2.0}, {4.0, 5.0}, {7.0, 10.0}, {120.0, 200.0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.metres);
        EXPECT_DOUBLE_EQ(ReceiverTestView::scatterRange(c.metres), c.range);
    }
}
