// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "fakes/FakeCanvas.h"
#include "fakes/FakeControls.h"
#include "fakes/FakeServices.h"
#include "instruments/SatelliteStore.h"
#include "instruments/SkyPlotView.h"

namespace skyplottest {

// A sky plot 236 points high (D = 200, r = 100) over a fresh store, with a metric that
// measures every satellite label 15 x 15.
struct Plot {
    fakes::FakePlatform platform;
    fakes::FakeViewHost host;
    SatelliteStore store;
    SkyPlotView view;

    Plot()
    {
        platform.bundle.entries = {{"HDOP", "HDOP"}, {"HPE", "HPE"}, {"ALT", "ALT"}};
        host.frame = {0, 0, 480, 236};
        view.setHost(&host);
        view.setSatelliteStore(&store);
        store.setSatelliteView(&view);
        store.start();
    }

    fakes::FakeCanvas draw()
    {
        fakes::FakeCanvas canvas;
        canvas.metric = [](const std::string& text, const platform::Font& font) {
            if (font.kind == platform::FontKind::Label) return platform::Size{15, 15};
            return platform::Size{static_cast<float>(text.size()) * 7, 14};
        };
        view.drawRect(canvas, host.bounds());
        return canvas;
    }
};

// The text drawn at a point, or "" when none.
inline std::string textAt(const fakes::FakeCanvas& canvas, float x, float y)
{
    for (const auto& call : canvas.callsOf("drawText"))
        if (std::fabs(call.args[0] - x) < 0.01f && std::fabs(call.args[1] - y) < 0.01f)
            return call.text;
    return {};
}

inline void expectRect(const fakes::FakeCanvas::Call& call, float x, float y, float w, float h)
{
    ASSERT_EQ(call.args.size(), 4u);
    EXPECT_NEAR(call.args[0], x, 0.001f);
    EXPECT_NEAR(call.args[1], y, 0.001f);
    EXPECT_NEAR(call.args[2], w, 0.001f);
    EXPECT_NEAR(call.args[3], h, 0.001f);
}

}  // namespace skyplottest
