// SPDX-License-Identifier: BSD-2-Clause
// The sky plot with many systems, signals and satellites: letters, legend, grouped bars,
// labels kept apart in a crowded sky, and satellites with no place to draw.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "SkyPlotViewFixture.h"
#include "fakes/FakeCanvas.h"
#include "instruments/SkyPlotView.h"

using platform::Color;
using platform::FontKind;
using skyplottest::expectRect;
using skyplottest::Plot;
using skyplottest::textAt;

namespace {

bool inside(const fakes::FakeCanvas::Call& call, const platform::Rect& area)
{
    return call.args[0] >= area.x - 0.01f && call.args[1] >= area.y - 0.01f &&
           call.args[0] + call.args[2] <= area.x + area.width + 0.01f &&
           call.args[1] + call.args[3] <= area.y + area.height + 0.01f;
}

bool overlap(const fakes::FakeCanvas::Call& a, const fakes::FakeCanvas::Call& b)
{
    return a.args[0] < b.args[0] + b.args[2] - 0.01f && b.args[0] < a.args[0] + a.args[2] - 0.01f &&
           a.args[1] < b.args[1] + b.args[3] - 0.01f && b.args[1] < a.args[1] + a.args[3] - 0.01f;
}

}  // namespace

TEST(SkyPlotViewTest, GpsOnlySkyFromTheModelKeepsTheSlotColumnsAndFramesUsedSatellites)
{
    Plot plot;
    plot.store.setSatellitesInView({{Constellation::GPS, 7, 45, 90, 30, true, {}, {}, {}},
                                    {Constellation::GPS, 12, 90, 0, std::nullopt, false, {}, {}, {}}});
    const auto canvas = plot.draw();

    const auto fills = canvas.callsOf("fillRect");
    ASSERT_EQ(fills.size(), 6u);
    expectRect(fills[0], 157.5f, 107.5f, 15, 15);  // no letter with one system
    expectRect(fills[1], 230, 0, 15, 15);
    expectRect(fills[4], 230 + 17, 0, 15, 15);
    expectRect(fills[5], 230 + 17, 17, 15, 0);      // not tracked: no bar, red
    EXPECT_EQ(fills[4].color, Color::Red);
    EXPECT_EQ(canvas.texts("07").size(), 2u);

    // The used satellite's marker and column label are framed in black, the other's not.
    const auto frames = canvas.callsOf("strokeRect");
    ASSERT_EQ(frames.size(), 2u);
    expectRect(frames[0], 157.5f, 107.5f, 15, 15);
    expectRect(frames[1], 230, 0, 15, 15);
    for (const auto& frame : frames) EXPECT_EQ(frame.color, Color::Black);
    EXPECT_TRUE(canvas.texts("G07").empty());
    EXPECT_TRUE(canvas.texts("used/in view").empty());  // a legend only with several systems
}

TEST(SkyPlotViewTest, SeveralSystemsGetLettersALegendAndGroupedBars)
{
    Plot plot;
    plot.platform.bundle.entries["UsedInView"] = "used/in view";
    plot.store.setSatellitesInView({{Constellation::GLONASS, 71, 30, 200, 35, true, {}, {}, {}},
                                    {Constellation::GPS, 5, 60, 90, 40, true, {}, {}, {}},
                                    {Constellation::GPS, 9, 20, 300, 22, false, {}, {}, {}},
                                    {Constellation::SBAS, 133, 35, 160, std::nullopt, false, {}, {}, {}}});
    const auto canvas = plot.draw();

    // Markers carry the system's letter; the box widens to both sides of the plain place.
    for (const char* label : {"G05", "G09", "S133", "R71"}) {
        SCOPED_TRACE(label);
        EXPECT_EQ(canvas.texts(label).size(), 1u);
    }
    const auto g05 = canvas.texts("G05")[0];  // (60, 90): offset (33.3, 0); label 15 wide
    EXPECT_NEAR(g05.args[0], 100 + 100.0f / 3 + 7.5f, 0.01f);

    EXPECT_EQ(textAt(canvas, 230, 204), "used/in view");
    EXPECT_EQ(canvas.texts("G GPS 1/2").size(), 1u);
    EXPECT_EQ(canvas.texts("S SBAS 0/1").size(), 1u);
    EXPECT_EQ(canvas.texts("R GLONASS 1/1").size(), 1u);

    // Bars: letter, then that system's columns, in the system order G, S, R.
    std::vector<std::string> strip;
    for (const auto& call : canvas.callsOf("drawText"))
        if (call.font == platform::Font{FontKind::Label, 9}) strip.push_back(call.text);
    EXPECT_EQ(strip, (std::vector<std::string>{"G", "05", "09", "S", "133", "R", "71"}));
    // Two frames per used satellite: its marker and its bar label.
    EXPECT_EQ(canvas.callsOf("strokeRect").size(), 4u);
}

TEST(SkyPlotViewTest, SixtyFourSatellitesStayInsideTheirStripWithoutOverlap)
{
    Plot plot;
    std::vector<SatelliteInView> sky;
    for (int i = 0; i < 64; ++i)
        sky.push_back({static_cast<Constellation>(i % 7), 1 + i, i % 91, i * 23 % 360, 20 + i % 30,
                       i % 3 == 0, {}, {}, {}});
    plot.store.setSatellitesInView(sky);
    fakes::FakeCanvas canvas;  // text as wide as half its point size a character
    plot.view.drawRect(canvas, plot.host.bounds());

    // The legend sits between the captions (y 220) and the bars, one line per two systems.
    float legendBottom = 220;
    int legendLines = 0;
    for (const auto& text : canvas.callsOf("drawText"))
        if (text.font == platform::Font{FontKind::Default, 10}) {
            EXPECT_LE(text.args[1] + 10, 220.0f);
            if (text.args[1] < legendBottom) ++legendLines;
            legendBottom = std::min(legendBottom, text.args[1]);
        }
    EXPECT_EQ(legendLines, 5);  // heading and seven systems

    const platform::Rect view{0, 0, 480, 236};
    const platform::Rect horizon{16 - 15, 18 - 15, 200 + 30, 200 + 30};  // ring plus a label
    const platform::Rect strip{230, 0, 478 - 230, legendBottom};
    std::vector<fakes::FakeCanvas::Call> bars;
    for (const auto& fill : canvas.callsOf("fillRect")) {
        ASSERT_TRUE(inside(fill, view));
        if (fill.args[0] >= 230) {
            EXPECT_TRUE(inside(fill, strip)) << fill.args[0] << "," << fill.args[1];
            bars.push_back(fill);
        } else {
            EXPECT_TRUE(inside(fill, horizon)) << fill.args[0] << "," << fill.args[1];
        }
    }
    EXPECT_EQ(bars.size(), 128u);  // a label and a bar for every satellite
    for (std::size_t a = 0; a < bars.size(); ++a)
        for (std::size_t b = a + 1; b < bars.size(); ++b)
            EXPECT_FALSE(overlap(bars[a], bars[b])) << a << " overlaps " << b;
}

// Sixty satellites crowd a small plot: no label covers another; a satellite whose label
// would gets a dot at its place, and those used in the fix are labelled before the rest.
TEST(SkyPlotViewTest, ACrowdedSkyKeepsItsLabelsApartAndDotsTheRest)
{
    Plot plot;
    std::vector<SatelliteInView> sky;
    for (int i = 0; i < 60; ++i)
        sky.push_back({static_cast<Constellation>(i % 4), 1 + i, 10 + i % 70, i * 47 % 360,
                       20 + i % 25, i % 5 == 0, {}, {}, {}});
    plot.store.setSatellitesInView(sky);
    fakes::FakeCanvas canvas;
    canvas.metric = [](const std::string& text, const platform::Font& font) {
        return platform::Size{static_cast<float>(text.size()) * font.pointSize * 0.6f, font.pointSize + 2};
    };
    plot.view.drawRect(canvas, plot.host.bounds());

    std::vector<fakes::FakeCanvas::Call> labels;
    std::size_t usedLabelled = 0;
    for (const auto& text : canvas.callsOf("drawText")) {
        if (text.font != platform::Font{FontKind::Label, 10}) continue;
        labels.push_back(text);
        const int number = std::stoi(text.text.substr(1));
        if ((number - 1) % 5 == 0) ++usedLabelled;
    }
    const auto dots = canvas.callsOf("fillOval");
    EXPECT_EQ(labels.size() + dots.size(), 60u) << "every satellite is on the plot once";
    EXPECT_FALSE(dots.empty()) << "the sky is crowded";
    EXPECT_EQ(usedLabelled, 12u) << "every used satellite carries its label";
    for (std::size_t a = 0; a < labels.size(); ++a) {
        const platform::Size size = canvas.metric(labels[a].text, labels[a].font);
        for (std::size_t b = a + 1; b < labels.size(); ++b) {
            const platform::Size other = canvas.metric(labels[b].text, labels[b].font);
            const bool apart = labels[a].args[0] + size.width <= labels[b].args[0] ||
                               labels[b].args[0] + other.width <= labels[a].args[0] ||
                               labels[a].args[1] + size.height <= labels[b].args[1] ||
                               labels[b].args[1] + other.height <= labels[a].args[1];
            EXPECT_TRUE(apart) << labels[a].text << " covers " << labels[b].text;
        }
    }
    // A dot sits on the satellite's own place: inside the horizon ring (centre 116, 118).
    for (const auto& dot : dots) {
        const float x = dot.args[0] + dot.args[2] / 2 - 116, y = dot.args[1] + dot.args[3] / 2 - 118;
        EXPECT_LE(std::hypot(x, y), 100.0f + 0.01f);
    }
}

// A dual-band receiver: one thin bar per signal in its band's colour, grouped over the
// satellite's number; a signal not tracked is a red stub; the key names each signal; dual-band
// markers carry a blue frame; the legend counts satellites, not signals.
TEST(SkyPlotViewTest, SignalsGetABarEachGroupedBySatelliteAndDualBandIsMarked)
{
    Plot plot;
    plot.platform.bundle.entries["UsedInView"] = "used/in view";
    plot.platform.bundle.entries["skyPlot.multiBandKey"] = "dual-band";
    SatelliteInView g05{Constellation::GPS, 5, 60, 90, 40, true, {}, {}, {}};
    g05.signalList = {{0, {}, 40, true, {}, {}}, {6, {}, 35, true, {}, {}}};  // L1 C/A, L5
    SatelliteInView g09{Constellation::GPS, 9, 20, 300, 22, false, {}, {}, {}};
    g09.signalList = {{0, {}, 22, false, {}, {}}};
    SatelliteInView e11{Constellation::Galileo, 11, 45, 200, 30, true, {}, {}, {}};
    e11.signalList = {{0, {}, 30, true, {}, {}}, {3, {}, std::nullopt, false, {}, {}}};  // E1, E5a
    plot.store.setSatellitesInView({g05, g09, e11});
    const auto canvas = plot.draw();

    std::vector<fakes::FakeCanvas::Call> thin;
    for (const auto& fill : canvas.callsOf("fillRect"))
        if (std::fabs(fill.args[2] - 4.0f) < 0.01f) thin.push_back(fill);
    ASSERT_EQ(thin.size(), 4u);
    EXPECT_EQ(thin[0].color, Color::Green);   // G05 L1 C/A
    EXPECT_EQ(thin[1].color, Color::Orange);  // G05 L5
    EXPECT_NEAR(thin[1].args[0] - thin[0].args[0], 5.0f, 0.01f) << "side by side";
    EXPECT_NEAR(thin[0].args[3], Satellite::strengthForSnr(40) * thin[1].args[3] / Satellite::strengthForSnr(35), 0.01f);
    EXPECT_EQ(thin[2].color, Color::Green);   // E11 E1
    EXPECT_EQ(thin[3].color, Color::Red);     // E11 E5a, not tracked
    EXPECT_FLOAT_EQ(thin[3].args[3], 2.0f);
    // G09 reported one signal: its one bar is as wide as its number.
    const auto g09Label = canvas.texts("09");
    ASSERT_EQ(g09Label.size(), 1u);
    bool g09Bar = false;
    for (const auto& fill : canvas.callsOf("fillRect"))
        g09Bar = g09Bar || (fill.args[0] == g09Label[0].args[0] && fill.args[1] > g09Label[0].args[1] &&
                            std::fabs(fill.args[2] - 15.0f) < 0.01f);
    EXPECT_TRUE(g09Bar);

    for (const char* name : {"L1 C/A", "E1", "L5", "E5a"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(canvas.texts(name).size(), 1u);
    }
    ASSERT_EQ(canvas.texts("dual-band").size(), 1u);
    EXPECT_EQ(canvas.texts("dual-band")[0].color, Color::Blue);
    EXPECT_EQ(canvas.texts("G GPS 1/2").size(), 1u);
    EXPECT_EQ(canvas.texts("E Galileo 1/1").size(), 1u);

    int blueFrames = 0;
    for (const auto& frame : canvas.callsOf("strokeRect"))
        if (frame.color == Color::Blue) ++blueFrames;
    EXPECT_EQ(blueFrames, 2) << "G05 and E11, not G09";
}

// One system whose receiver lists its signals leaves the twelve slot columns for the bars
// per signal.
TEST(SkyPlotViewTest, OneSystemWithSignalsDrawsABarPerSignal)
{
    Plot plot;
    SatelliteInView g05{Constellation::GPS, 5, 60, 90, 40, true, {}, {}, {}};
    g05.signalList = {{0, {}, 40, true, {}, {}}, {3, {}, 33, true, {}, {}}};  // L1 C/A, L2 CL
    plot.store.setSatellitesInView({g05});
    const auto canvas = plot.draw();
    std::vector<Color> thin;
    for (const auto& fill : canvas.callsOf("fillRect"))
        if (std::fabs(fill.args[2] - 4.0f) < 0.01f) thin.push_back(fill.color);
    EXPECT_EQ(thin, (std::vector<Color>{Color::Green, Color::Blue}));
    EXPECT_EQ(canvas.texts("L2C").size(), 1u);
}

// A receiver that lists a satellite without elevation or azimuth does not know where it is:
// no marker at the horizon or at north, but its bar.
TEST(SkyPlotViewTest, AnUnknownPlaceDrawsNoMarkerButTheBar)
{
    Plot plot;
    plot.store.setSatellitesInView({{Constellation::GPS, 4, std::nullopt, std::nullopt, 30, true, {}, {}, {}},
                                    {Constellation::GPS, 5, 0, std::nullopt, 30, false, {}, {}, {}},
                                    {Constellation::GPS, 6, std::nullopt, 0, 30, false, {}, {}, {}},
                                    {Constellation::Galileo, 11, 45, 45, 30, false, {}, {}, {}}});
    const auto canvas = plot.draw();
    for (const char* label : {"04", "05", "06"}) {
        SCOPED_TRACE(label);
        EXPECT_TRUE(canvas.texts(std::string("G") + label).empty()) << "no marker";
        EXPECT_EQ(canvas.texts(label).size(), 1u) << "its bar";
    }
    EXPECT_EQ(canvas.texts("E11").size(), 1u);
}

TEST(SkyPlotViewTest, ImpossiblePlacesAndNumbersDrawNoMarkerAndShortLabels)
{
    struct Case {
        const char* name;
        int number, elevation, azimuth;
        const char* label;
    };
    const Case cases[] = {
        {"below the horizon", 4, -5, 100, "04"},
        {"past the zenith", 4, 91, 100, "04"},
        {"azimuth 360", 4, 10, 360, "04"},
        {"negative azimuth", 4, 10, -1, "04"},
        {"most negative azimuth", 4, 10, INT32_MIN, "04"},
        {"absurd number", 123456, 10, 100, "??"},
        {"negative number", -3, 91, 0, "??"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Plot plot;
        plot.store.setSatellitesInView({{Constellation::GPS, c.number, c.elevation, c.azimuth, 30, true, {}, {}, {}},
                                        {Constellation::Galileo, 11, 45, 45, 30, false, {}, {}, {}}});
        const auto canvas = plot.draw();
        const bool placed = c.elevation >= 0 && c.elevation <= 90 && c.azimuth >= 0 && c.azimuth < 360;
        EXPECT_EQ(canvas.texts(std::string("G") + c.label).size(), placed ? 1u : 0u);
        EXPECT_EQ(canvas.texts(c.label).size(), 1u);  // its bar is still there
        for (const auto& call : canvas.calls)
            for (float v : call.args) EXPECT_LT(std::fabs(v), 1000.0f) << call.op;
    }
}
