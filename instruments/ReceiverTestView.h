// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <string>

#include "instruments/SignalStripChart.h"
#include "platform/Drawing.h"
#include "platform/View.h"

class ReceiverTest;

// The receiver test pane's drawing, in four quarters: time to first fix (clock and the table
// of runs) top left; the scatter of fixes in east/north metres with its CEP and 2DRMS
// circles top right; each satellite's signal over the last ten minutes bottom left; the
// obstruction map bottom right. Keeps no data: reads the test on every draw.
class ReceiverTestView : public platform::View {
public:
    // Not owned; nullptr draws an empty test.
    void setReceiverTest(const ReceiverTest* test) { m_test = test; }
    // The time the clock and the strip chart are drawn at, on the test's clock.
    void setNow(double now) { m_now = now; }

    bool isOpaque() const override { return false; }
    void drawRect(platform::Canvas& canvas, const platform::Rect& dirty) override;

    // Colour of an obstruction cell by its median ratio: no signal red, weak orange,
    // middling yellow, strong green.
    static platform::Color colorOfSnr(int snrDbHz);
    // The scatter's outer ring in metres: the smallest 1, 2 or 5 times a power of ten that
    // holds the given radius (at least 0.1 m).
    static double scatterRange(double metres);

private:
    void drawFirstFix(platform::Canvas& canvas, const platform::Rect& area) const;
    void drawScatter(platform::Canvas& canvas, const platform::Rect& area) const;
    void drawObstructions(platform::Canvas& canvas, const platform::Rect& area) const;
    // Draws a quarter's title in its top-left corner; returns the title's baseline.
    static float drawTitle(platform::Canvas& canvas, const platform::Rect& area, const char* key);

    // Shared by the four quarters; the strip chart is given them too.
    static constexpr platform::Font kTitleFont{platform::FontKind::BoldSystem, 13.0f};
    static constexpr platform::Font kTextFont{platform::FontKind::Label, 11.0f};
    static constexpr float kRow = 15.0f;
    static constexpr float kMargin = 8.0f;

    SignalStripChart m_signals{kTextFont, kRow, kMargin};
    const ReceiverTest* m_test = nullptr;
    double m_now = 0.0;
};
