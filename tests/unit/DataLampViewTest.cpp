// SPDX-License-Identifier: BSD-2-Clause
#include <gtest/gtest.h>

#include "fakes/FakeCanvas.h"
#include "fakes/FakeControls.h"
#include "instruments/DataLampView.h"

using platform::Color;

namespace {

struct LampColours {
    Color body;
    Color dot;
};

// Draws the lamp into a 20 x 20 view at the origin and checks the whole drawing: body,
// ring and dot geometry, colours and line widths.
LampColours drawTwentySquare(DataLampView& lamp)
{
    fakes::FakeCanvas canvas;
    lamp.drawRect(canvas, {0, 0, 20, 20});

    const auto& calls = canvas.calls;
    EXPECT_EQ(calls.size(), 4u);
    if (calls.size() != 4u) return {};
    EXPECT_EQ(calls[0].op, "fillOval");
    EXPECT_EQ(calls[0].args, (std::vector<float>{2, 2, 18, 18}));

    EXPECT_EQ(calls[1].op, "strokeArc");
    EXPECT_EQ(calls[1].args, (std::vector<float>{10, 10, 9, 0, 359}));
    EXPECT_EQ(calls[1].color, Color::White);
    EXPECT_FLOAT_EQ(calls[1].lineWidth, 3.0f);

    EXPECT_EQ(calls[2].op, "fillArc");
    EXPECT_EQ(calls[2].args, (std::vector<float>{10, 10, 2.25f, 0, 359}));

    EXPECT_EQ(calls[3].op, "strokeArc");
    EXPECT_EQ(calls[3].args, (std::vector<float>{10, 10, 2.25f, 0, 359}));
    EXPECT_EQ(calls[3].color, Color::White);
    EXPECT_FLOAT_EQ(calls[3].lineWidth, 1.0f);
    return {calls[0].color, calls[2].color};
}

}  // namespace

TEST(DataReadyViewTest, EachStateDrawsItsColoursOnTheSameGeometry)
{
    struct Case {
        const char* name;
        std::uint32_t state;
        Color body;
        Color dot;
    };
    const Case cases[] = {
        {"no data", 0, Color::Red, Color::Black},
        {"unhandled", 1, Color::Yellow, Color::Black},
        {"handled", 2, Color::Green, Color::White},
        {"unknown state shows as no data", 7, Color::Red, Color::Black},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DataLampView lamp;
        lamp.drawDataReady(c.state);
        const LampColours seen = drawTwentySquare(lamp);
        EXPECT_EQ(seen.body, c.body);
        EXPECT_EQ(seen.dot, c.dot);
    }
}

TEST(DataReadyViewTest, FractionalOriginIsTruncatedAndBodyInsetOnTwoSidesOnly)
{
    DataLampView lamp;
    fakes::FakeCanvas canvas;
    lamp.drawRect(canvas, {5.7f, 3.2f, 30, 24});
    const auto body = canvas.callsOf("fillOval");
    ASSERT_EQ(body.size(), 1u);
    EXPECT_EQ(body[0].args, (std::vector<float>{7, 5, 28, 22}));
    const auto ring = canvas.callsOf("strokeArc");
    ASSERT_EQ(ring.size(), 2u);
    EXPECT_EQ(ring[0].args, (std::vector<float>{5 + 15, 3 + 12, 11, 0, 359}));
}

TEST(DataReadyViewTest, RedrawIsRequestedOnlyOnChange)
{
    DataLampView lamp;
    fakes::FakeViewHost host;
    lamp.setHost(&host);
    EXPECT_EQ(lamp.dataReadyState(), 0u);
    EXPECT_FALSE(lamp.isOpaque());

    lamp.drawDataReady(0);
    EXPECT_EQ(host.redrawRequests, 0);

    // A run of handled sentences, then alternating handled and unhandled types.
    for (int i = 0; i < 5; ++i) lamp.drawDataReady(2);
    EXPECT_EQ(host.redrawRequests, 1);
    const std::uint32_t stream[] = {1, 2, 1, 2};
    for (auto state : stream) lamp.drawDataReady(state);
    EXPECT_EQ(host.redrawRequests, 5);
    EXPECT_EQ(lamp.dataReadyState(), 2u);
}
