// SPDX-License-Identifier: BSD-2-Clause
#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "fakes/FakeCanvas.h"
#include "fakes/FakeControls.h"
#include "instruments/CompassView.h"

using platform::Color;
using platform::FontKind;

namespace {

const platform::Rect kStrip{10, 5, 360, 24};  // X = 10, Y = 5, W = 360, Hr = 24

fakes::FakeCanvas draw(CompassView& compass, const platform::Rect& rect = kStrip)
{
    fakes::FakeCanvas canvas;
    compass.drawRect(canvas, rect);
    return canvas;
}

// The tick drawn at x, or nullptr.
const fakes::FakeCanvas::Call* tickAt(const std::vector<fakes::FakeCanvas::Call>& ticks, float x)
{
    for (const auto& tick : ticks)
        if (std::fabs(tick.args[0] - x) < 0.01f) return &tick;
    return nullptr;
}

// Centre x of a text as drawn (the fake metric makes widths known).
float centreOf(const fakes::FakeCanvas& canvas, const fakes::FakeCanvas::Call& text)
{
    return text.args[0] + canvas.metric(text.text, text.font).width / 2.0f;
}

}  // namespace

TEST(CompassViewTest, NewViewDrawsNothingUntilAHeadingArrives)
{
    CompassView compass;
    EXPECT_FALSE(compass.enabled());
    EXPECT_FALSE(compass.isOpaque());
    EXPECT_EQ(compass.range(), 120);
    EXPECT_TRUE(draw(compass).calls.empty());

    compass.setHeading(0);
    EXPECT_TRUE(compass.enabled());
    EXPECT_FALSE(draw(compass).calls.empty());

    compass.disable();
    EXPECT_TRUE(draw(compass).calls.empty());
}

TEST(CompassViewTest, Range90AtNorthPlacesLabelsAndTicks)
{
    CompassView compass;
    compass.setRange(90);
    compass.setHeading(0);
    const auto canvas = draw(compass);
    const float s = 360.0f / 90.0f;
    const float x0 = kStrip.x;
    const float y0 = kStrip.y;

    // Background first, then every label and tick in black.
    ASSERT_FALSE(canvas.calls.empty());
    EXPECT_EQ(canvas.calls[0].op, "fillRect");
    EXPECT_EQ(canvas.calls[0].color, Color::White);
    EXPECT_EQ(canvas.calls[0].args, (std::vector<float>{10, 5, 360, 24}));

    const auto north = canvas.texts("-N-");
    ASSERT_EQ(north.size(), 1u);
    EXPECT_NEAR(centreOf(canvas, north[0]), x0 + 45 * s, 0.01f);
    EXPECT_FLOAT_EQ(north[0].args[1], y0 + 1);
    EXPECT_EQ(north[0].font, (platform::Font{FontKind::Label, 21}));

    const auto n330 = canvas.texts("330");
    ASSERT_EQ(n330.size(), 1u);
    EXPECT_NEAR(centreOf(canvas, n330[0]), x0 + 15 * s, 0.01f);
    EXPECT_FLOAT_EQ(n330[0].args[1], y0 + 3);
    EXPECT_EQ(n330[0].font, (platform::Font{FontKind::Label, 18}));
    const auto n030 = canvas.texts("030");
    ASSERT_EQ(n030.size(), 1u);
    EXPECT_NEAR(centreOf(canvas, n030[0]), x0 + 75 * s, 0.01f);
    EXPECT_EQ(canvas.callsOf("drawText").size(), 3u);  // 330, -N-, 030

    // Ticks every 5 degrees from 315 (left edge) to 40; none at 45 (the right edge).
    const auto ticks = canvas.callsOf("strokeLine");
    EXPECT_EQ(ticks.size(), 18u);
    for (const auto& tick : ticks) {
        EXPECT_EQ(tick.color, Color::Black);
        EXPECT_FLOAT_EQ(tick.lineWidth, 2.0f);
        EXPECT_FLOAT_EQ(tick.args[1], y0);
        EXPECT_FLOAT_EQ(tick.args[0], tick.args[2]);
    }
    struct Expected {
        int degree;  // offset from the left edge, in degrees
        float length;
    };
    // 315 -> offset 0 ... 40 -> offset 85
    const Expected expected[] = {
        {0, 4},    // 315: left edge, short
        {5, 8},    // 320: long
        {15, 4},   // 330: labelled, short
        {25, 8},   // 340
        {35, 8},   // 350
        {45, 4},   // 0: labelled, short
        {55, 8},   // 10
        {65, 8},   // 20
        {70, 4},   // 25: odd multiple of 5
        {75, 4},   // 30: labelled
        {85, 8},   // 40
    };
    for (const auto& e : expected) {
        SCOPED_TRACE(e.degree);
        const auto* tick = tickAt(ticks, x0 + static_cast<float>(e.degree) * s);
        ASSERT_NE(tick, nullptr);
        EXPECT_NEAR(tick->args[3] - y0, e.length, 0.001f);
    }
    EXPECT_EQ(tickAt(ticks, x0 + 90 * s), nullptr);
}

TEST(CompassViewTest, HeadingNearNorthWrapsTheCard)
{
    CompassView compass;
    compass.setRange(90);
    compass.setHeading(350);
    const auto canvas = draw(compass);
    const float s = 4.0f;
    const auto north = canvas.texts("-N-");
    ASSERT_EQ(north.size(), 1u);
    EXPECT_NEAR(centreOf(canvas, north[0]), kStrip.x + 55 * s, 0.01f);
    EXPECT_EQ(canvas.texts("030").size(), 1u);
    EXPECT_EQ(canvas.texts("330").size(), 1u);
    EXPECT_TRUE(canvas.texts("300").empty());  // 305 is the left edge
    EXPECT_TRUE(canvas.texts("360").empty());
}

TEST(CompassViewTest, HeadingAboveOneTurnIsShownModulo360)
{
    CompassView a;
    CompassView b;
    a.setRange(90);
    b.setRange(90);
    a.setHeading(370);
    b.setHeading(10);
    const auto wrapped = draw(a);
    const auto plain = draw(b);
    ASSERT_EQ(wrapped.calls.size(), plain.calls.size());
    for (std::size_t i = 0; i < plain.calls.size(); ++i) {
        EXPECT_EQ(wrapped.calls[i].op, plain.calls[i].op);
        EXPECT_EQ(wrapped.calls[i].text, plain.calls[i].text);
        EXPECT_EQ(wrapped.calls[i].args, plain.calls[i].args);
    }
}

TEST(CompassViewTest, VariationShiftsTheCardAndWildValuesStayOnTheCard)
{
    CompassView compass;
    compass.setRange(90);
    compass.setHeading(10);
    compass.setVariation(10.9f);  // whole degrees: 10
    auto canvas = draw(compass);
    const auto north = canvas.texts("-N-");
    ASSERT_EQ(north.size(), 1u);
    EXPECT_NEAR(centreOf(canvas, north[0]), kStrip.x + 45 * 4.0f, 0.01f);

    for (float wild : {1e30f, -1e30f, NAN, INFINITY}) {
        SCOPED_TRACE(wild);
        compass.setVariation(wild);
        canvas = draw(compass);
        for (const auto& text : canvas.callsOf("drawText")) {
            const bool known = text.text == "-N-" || text.text == "-E-" || text.text == "-S-" ||
                               text.text == "-W-" || (text.text.size() == 3 && text.text < "360");
            EXPECT_TRUE(known) << text.text;
        }
    }
}

TEST(CompassViewTest, CourseMarkAndBorder)
{
    CompassView compass;
    compass.setRange(90);
    compass.setHeading(90);
    const auto canvas = draw(compass);
    // Course mark: 12 wide at the base on the bottom edge, 8 high, centred.
    const auto mark = canvas.callsOf("fillPolygon");
    ASSERT_EQ(mark.size(), 1u);
    EXPECT_EQ(mark[0].color, Color::Black);
    ASSERT_EQ(mark[0].points.size(), 3u);
    const float cx = kStrip.x + kStrip.width / 2;
    EXPECT_FLOAT_EQ(mark[0].points[0].x, cx - 6);
    EXPECT_FLOAT_EQ(mark[0].points[0].y, kStrip.y);
    EXPECT_FLOAT_EQ(mark[0].points[1].x, cx);
    EXPECT_FLOAT_EQ(mark[0].points[1].y, kStrip.y + 8);
    EXPECT_FLOAT_EQ(mark[0].points[2].x, cx + 6);
    EXPECT_FLOAT_EQ(mark[0].points[2].y, kStrip.y);

    // Border last, grey, two points wide.
    const auto& border = canvas.calls.back();
    EXPECT_EQ(border.op, "strokeRect");
    EXPECT_EQ(border.color, Color::ControlShadow);
    EXPECT_FLOAT_EQ(border.lineWidth, 2.0f);
    EXPECT_EQ(border.args, (std::vector<float>{10, 5, 360, 24}));
}

TEST(CompassViewTest, OddRangeWalksOneDegreeLessThanItsSteps)
{
    CompassView compass;
    compass.setRange(91);
    compass.setHeading(0);
    const auto canvas = draw(compass);
    const float s = 360.0f / 91.0f;
    const auto ticks = canvas.callsOf("strokeLine");
    ASSERT_FALSE(ticks.empty());
    // -45 .. 44: the left edge is 315, the last tick 40 at 85 steps.
    EXPECT_NEAR(ticks.front().args[0], kStrip.x, 0.01f);
    EXPECT_NEAR(ticks.back().args[0], kStrip.x + 85 * s, 0.01f);
    EXPECT_EQ(ticks.size(), 18u);
}

TEST(CompassViewTest, ZeroOrNegativeRangeDrawsFrameOnly)
{
    for (int range : {0, -30}) {
        SCOPED_TRACE(range);
        CompassView compass;
        compass.setRange(range);
        compass.setHeading(45);
        const auto canvas = draw(compass);
        EXPECT_TRUE(canvas.callsOf("strokeLine").empty());
        EXPECT_TRUE(canvas.callsOf("drawText").empty());
        EXPECT_EQ(canvas.callsOf("fillRect").size(), 1u);
        EXPECT_EQ(canvas.callsOf("fillPolygon").size(), 1u);
        EXPECT_EQ(canvas.callsOf("strokeRect").size(), 1u);
    }
}

TEST(CompassViewTest, SettersRequestRedrawsOnlyOnChange)
{
    CompassView compass;
    fakes::FakeViewHost host;
    compass.setHost(&host);

    compass.setRange(120);  // unchanged
    EXPECT_EQ(host.redrawRequests, 0);
    compass.setRange(90);
    EXPECT_EQ(host.redrawRequests, 1);
    EXPECT_FALSE(compass.enabled());  // range alone does not enable

    compass.setHeading(180);
    compass.setHeading(180);
    EXPECT_EQ(host.redrawRequests, 2);

    compass.disable();
    EXPECT_EQ(host.redrawRequests, 3);
    compass.setHeading(180);  // same value, but re-enables
    EXPECT_TRUE(compass.enabled());
    EXPECT_EQ(host.redrawRequests, 4);

    compass.setVariation(0.0f);  // unchanged while enabled
    EXPECT_EQ(host.redrawRequests, 4);
    compass.setVariation(NAN);
    compass.setVariation(NAN);  // a NaN always counts as a change
    EXPECT_EQ(host.redrawRequests, 6);

    compass.setBackgroundColor(Color::Yellow);
    EXPECT_EQ(host.redrawRequests, 7);
    EXPECT_EQ(draw(compass).calls.front().color, Color::Yellow);
}
