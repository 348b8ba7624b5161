// SPDX-License-Identifier: BSD-2-Clause
// The sky plot's drawing: rings, markers, slot columns, captions and geometry.
#include <clocale>
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "SkyPlotViewFixture.h"
#include "fakes/FakeCanvas.h"
#include "fakes/FakeControls.h"
#include "fakes/GermanLocale.h"
#include "instruments/SkyPlotView.h"

using platform::Color;
using platform::FontKind;
using skyplottest::expectRect;
using skyplottest::Plot;
using skyplottest::textAt;

namespace {

constexpr float kFeetPerMetre = 3.2808399200439453f;

}  // namespace

TEST(SkyPlotViewTest, EmptyStoreDrawsRingsLettersAndZeroCaptions)
{
    Plot plot;
    plot.store.reset();
    const auto canvas = plot.draw();

    EXPECT_EQ(textAt(canvas, 220, 220), "HDOP  0.0");
    EXPECT_EQ(textAt(canvas, 290, 220), "HPE 0'");
    EXPECT_EQ(textAt(canvas, 360, 220), "ALT 0'");
    for (const auto& caption : canvas.callsOf("drawText")) {
        EXPECT_EQ(caption.font, (platform::Font{FontKind::Default, 12}));
        EXPECT_EQ(caption.color, Color::Black);
    }

    const auto rings = canvas.callsOf("strokeOval");
    ASSERT_EQ(rings.size(), 2u);
    expectRect(rings[0], 66, 68, 100, 100);
    expectRect(rings[1], 16, 18, 200, 200);
    for (const auto& ring : rings) {
        EXPECT_EQ(ring.color, Color::Black);
        EXPECT_FLOAT_EQ(ring.lineWidth, 1.0f);
    }

    EXPECT_EQ(textAt(canvas, 112, 218), "N");
    EXPECT_EQ(textAt(canvas, 112, 0), "S");
    EXPECT_EQ(textAt(canvas, 0, 112), "W");
    EXPECT_EQ(textAt(canvas, 220, 112), "E");

    EXPECT_TRUE(canvas.callsOf("fillRect").empty());
    EXPECT_EQ(canvas.callsOf("drawText").size(), 7u);
    EXPECT_FALSE(plot.view.isOpaque());
}

TEST(SkyPlotViewTest, SatelliteInSlotThreeHasMarkerColumnAndBar)
{
    Plot plot;
    plot.store.satellite(3)->set(7, 45, 90, 30);  // strength 14
    const auto canvas = plot.draw();

    const auto fills = canvas.callsOf("fillRect");
    ASSERT_EQ(fills.size(), 3u);
    for (const auto& fill : fills) EXPECT_EQ(fill.color, Color::Green);
    expectRect(fills[0], 157.5f, 107.5f, 15, 15);   // marker at P = (150, 100)
    expectRect(fills[1], 281, 0, 15, 15);            // column 230 + 3 x 17
    expectRect(fills[2], 281, 17, 15, 14 * 200.0f / 90.0f);

    const auto labels = canvas.texts("07");
    ASSERT_EQ(labels.size(), 2u);
    EXPECT_NEAR(labels[0].args[0], 157.5f, 0.001f);
    EXPECT_NEAR(labels[0].args[1], 107.5f, 0.001f);
    EXPECT_FLOAT_EQ(labels[1].args[0], 281);
    EXPECT_FLOAT_EQ(labels[1].args[1], 0);
    for (const auto& label : labels) {
        EXPECT_EQ(label.font, (platform::Font{FontKind::Label, 12}));
        EXPECT_EQ(label.color, Color::Black);
    }
}

TEST(SkyPlotViewTest, MarkersFollowElevationAndAzimuth)
{
    struct Case {
        const char* name;
        int elevation, azimuth;
        float x, y;  // marker's lower-left corner, r = 100, label 15 x 15
    };
    const Case cases[] = {
        {"zenith", 90, 123, 100 + 7.5f, 100 + 7.5f},
        {"east horizon", 0, 90, 200 + 7.5f, 100 + 7.5f},
        {"north horizon", 0, 0, 100 + 7.5f, 200 + 7.5f},
        {"south, 30 degrees up", 30, 180, 100 + 7.5f, 100 - 200.0f / 3 + 7.5f},
        {"west horizon", 0, 270, 0 + 7.5f, 100 + 7.5f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Plot plot;
        plot.store.satellite(0)->set(12, c.elevation, c.azimuth, 40);
        const auto fills = plot.draw().callsOf("fillRect");
        ASSERT_EQ(fills.size(), 3u);
        EXPECT_NEAR(fills[0].args[0], c.x, 0.01f);
        EXPECT_NEAR(fills[0].args[1], c.y, 0.01f);
    }
}

TEST(SkyPlotViewTest, ColumnsStandBySlotAndStrengthPicksTheColour)
{
    Plot plot;
    plot.store.satellite(0)->set(3, 20, 10, 0);    // snr 0: strength 1, still green
    plot.store.satellite(2)->set(11, 60, 200, -1);  // strength 0: red
    const auto canvas = plot.draw();
    const auto fills = canvas.callsOf("fillRect");
    ASSERT_EQ(fills.size(), 6u);

    expectRect(fills[1], 230, 0, 15, 15);
    expectRect(fills[2], 230, 17, 15, 200.0f / 90.0f);
    EXPECT_EQ(fills[1].color, Color::Green);
    EXPECT_EQ(fills[2].color, Color::Green);

    // Slot 1 is empty: its place in the row stays free.
    expectRect(fills[4], 230 + 2 * 17, 0, 15, 15);
    expectRect(fills[5], 230 + 2 * 17, 17, 15, 0);
    EXPECT_EQ(fills[3].color, Color::Red);
    EXPECT_EQ(fills[4].color, Color::Red);
}

TEST(SkyPlotViewTest, ElevationAboveNinetyHidesTheMarkerButKeepsTheBar)
{
    Plot plot;
    plot.store.satellite(1)->set(9, 91, 45, 40);
    const auto canvas = plot.draw();
    const auto fills = canvas.callsOf("fillRect");
    ASSERT_EQ(fills.size(), 2u);
    expectRect(fills[0], 230 + 17, 0, 15, 15);
    expectRect(fills[1], 230 + 17, 17, 15, 36 * 200.0f / 90.0f);
    // Nothing is drawn at coordinates outside the view.
    for (const auto& call : canvas.calls)
        for (float v : call.args) EXPECT_LT(std::fabs(v), 1000.0f) << call.op;
}

TEST(SkyPlotViewTest, CaptionsFormatDopErrorAndAltitude)
{
    struct Case {
        const char* name;
        float hdop;
        float altitudeFeet;
        bool meters;
        const char* hdopText;
        const char* errorText;
        const char* altitudeText;
    };
    const Case cases[] = {
        {"HDOP 1.2 in feet", 1.2f, 0, false, "HDOP  1.2", "HPE 29'", "ALT 0'"},
        {"HDOP 1.2 in metres", 1.2f, 0, true, "HDOP  1.2", "HPE 8m", "ALT 0m"},
        {"HDOP 12.5", 12.5f, 0, false, "HDOP 12.5", "HPE 306'", "ALT 0'"},
        {"13 m shows truncated", 0, 13 * kFeetPerMetre, true, "HDOP  0.0", "HPE 0m", "ALT 12m"},
        {"100 m", 0, 100 * kFeetPerMetre, true, "HDOP  0.0", "HPE 0m", "ALT 100m"},
        {"-10 m in metres", 0, -10 * kFeetPerMetre, true, "HDOP  0.0", "HPE 0m", "ALT -10m"},
        {"-10 m in feet", 0, -10 * kFeetPerMetre, false, "HDOP  0.0", "HPE 0'", "ALT -32'"},
        {"negative HDOP does not wrap", -2.0f, 0, false, "HDOP -2.0", "HPE 0'", "ALT 0'"},
        {"NaN HDOP", NAN, 0, false, "HDOP  nan", "HPE 0'", "ALT 0'"},
        {"huge altitude saturates", 0, 1e30f, false, "HDOP  0.0", "HPE 0'", "ALT 2147483647'"},
        // Past two digits the value cannot be shown in the caption's room.
        {"huge HDOP", 1e30f, 0, false, "HDOP >99", "HPE --", "ALT 0'"},
        {"HDOP 99.9", 99.94f, 0, true, "HDOP 99.9", "HPE 746m", "ALT 0m"},
        {"huge negative HDOP", -1e30f, 0, true, "HDOP <-99", "HPE --", "ALT 0m"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Plot plot;
        plot.store.setMeters(c.meters);
        plot.store.setDop(0, c.hdop, 0);
        plot.store.setAltitude(c.altitudeFeet);
        const auto canvas = plot.draw();
        EXPECT_EQ(textAt(canvas, 220, 220), c.hdopText);
        EXPECT_EQ(textAt(canvas, 290, 220), c.errorText);
        EXPECT_EQ(textAt(canvas, 360, 220), c.altitudeText);
    }
}

TEST(SkyPlotViewTest, CaptionsKeepTheDecimalPointUnderACommaLocale)
{
    Plot plot;
    plot.store.setDop(0, 1.2f, 0);
    if (!testlocale::switchToGerman(LC_NUMERIC))
        GTEST_SKIP() << "no locale with a decimal comma available (localedef failed)";
    const auto canvas = plot.draw();
    testlocale::restore(LC_NUMERIC);
    EXPECT_EQ(textAt(canvas, 220, 220), "HDOP  1.2");
}

TEST(SkyPlotViewTest, GeometryFollowsTheHeightAndMissingStoreDrawsAnEmptyPlot)
{
    fakes::FakePlatform platform;
    fakes::FakeViewHost host;
    host.frame = {0, 0, 400, 136};  // D = 100, r = 50
    SkyPlotView view;
    view.setHost(&host);
    fakes::FakeCanvas canvas;
    view.drawRect(canvas, {0, 0, 10, 10});  // a partial refresh still draws everything
    const auto rings = canvas.callsOf("strokeOval");
    ASSERT_EQ(rings.size(), 2u);
    expectRect(rings[0], 41, 43, 50, 50);
    expectRect(rings[1], 16, 18, 100, 100);
    EXPECT_EQ(textAt(canvas, 62, 118), "N");
    EXPECT_EQ(textAt(canvas, 120, 120), "HDOP  0.0");  // unknown key stands for itself
    EXPECT_TRUE(canvas.callsOf("fillRect").empty());
}
