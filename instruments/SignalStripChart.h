// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include "nmea/Constellation.h"
#include "platform/Canvas.h"
#include "platform/Drawing.h"

class SignalHistory;

// Each satellite's signal over the last ten minutes, drawn into an area of a larger view:
// 0 to 60 dB-Hz up, the newest sample at the right edge, one colour per constellation, a
// thicker line while the satellite is used in the fix, and a legend of the constellations
// seen above the plot. Keeps no data.
class SignalStripChart {
public:
    // The text font and row height of the view it is drawn in; margin: the space kept at the
    // area's left edge (legend) and right edge (plot).
    SignalStripChart(platform::Font textFont, float rowHeight, float margin)
        : m_textFont(textFont), m_row(rowHeight), m_margin(margin)
    {
    }

    // The area below the view's own title. history nullptr: the grid and legend only.
    // now: the time at the right edge, on the history's clock.
    void draw(platform::Canvas& canvas, const platform::Rect& area, const SignalHistory* history,
              double now) const;

    // Colour of a constellation in the chart and its legend.
    static platform::Color colorOf(Constellation system);

private:
    platform::Font m_textFont;
    float m_row;
    float m_margin;
};
