// SPDX-License-Identifier: BSD-2-Clause
#include "instruments/CompassView.h"

#include <cmath>
#include <cstdio>
#include <string>

using platform::Color;
using platform::Font;
using platform::FontKind;
using platform::Point;

namespace {

// Whole degrees of a variation, reduced into (-360, 360) first so that a wild value can
// neither overflow the integer nor push the tape outside one turn.
std::int64_t wholeVariation(float variation)
{
    if (!std::isfinite(variation)) return 0;
    return static_cast<std::int64_t>(std::fmod(static_cast<double>(variation), 360.0));
}

std::int64_t normalisedDegrees(std::int64_t n)
{
    const std::int64_t g = n % 360;
    return g < 0 ? g + 360 : g;
}

}  // namespace

void CompassView::setRange(std::int32_t range)
{
    if (range == m_range) return;
    m_range = range;
    setNeedsDisplay();
}

void CompassView::setHeading(std::uint32_t heading)
{
    if (heading == m_heading && m_enabled) return;
    m_enabled = true;
    m_heading = heading;
    setNeedsDisplay();
}

void CompassView::setVariation(float variation)
{
    // A NaN compares unequal to everything, so it always counts as a change.
    if (variation == m_variation && m_enabled) return;
    m_enabled = true;
    m_variation = variation;
    setNeedsDisplay();
}

void CompassView::disable()
{
    if (!m_enabled) return;
    m_enabled = false;
    setNeedsDisplay();
}

void CompassView::setBackgroundColor(Color color)
{
    if (color == m_backgroundColor) return;
    m_backgroundColor = color;
    setNeedsDisplay();
}

void CompassView::drawRect(platform::Canvas& canvas, const platform::Rect& rect)
{
    if (!m_enabled) return;

    const float x0 = rect.x;
    const float y0 = rect.y;
    const float w = rect.width;
    const float h = rect.height;

    canvas.setColor(m_backgroundColor);
    canvas.fillRect(rect);
    canvas.setColor(Color::Black);

    const std::int64_t half = m_range / 2;
    const std::int64_t heading = m_heading % 360;
    const std::int64_t v = wholeVariation(m_variation);
    const std::int64_t start = heading - half - v;
    const std::int64_t end = heading + half - v;
    if (start < end) {
        const float step = w / static_cast<float>(m_range);
        const Font letterFont{FontKind::Label, h - 3.0f};
        const Font numberFont{FontKind::Label, h - 6.0f};
        canvas.setLineWidth(2.0f);
        float x = x0;
        for (std::int64_t n = start; n < end; ++n, x += step) {
            const std::int64_t g = normalisedDegrees(n);
            if (g % 30 == 0) {
                std::string text;
                switch (g) {
                case 0: text = "-N-"; break;
                case 90: text = "-E-"; break;
                case 180: text = "-S-"; break;
                case 270: text = "-W-"; break;
                default: {
                    char number[8];
                    std::snprintf(number, sizeof number, "%03d", static_cast<int>(g));
                    text = number;
                }
                }
                const bool cardinal = g % 90 == 0;
                const Font& font = cardinal ? letterFont : numberFont;
                const float offset = cardinal ? 1.0f : 3.0f;
                const float textWidth = canvas.measureText(text, font).width;
                canvas.drawText(text, Point{x - textWidth / 2.0f, y0 + offset}, font, Color::Black);
            }
            if (g % 5 == 0) {
                const bool longTick = g % 10 == 0 && g % 30 != 0;
                const float length = longTick ? h / 3.0f : h / 6.0f;
                canvas.strokeLine(Point{x, y0}, Point{x, y0 + length});
            }
        }
    }

    const float cx = x0 + w / 2.0f;
    canvas.fillPolygon({Point{cx - h / 4.0f, y0}, Point{cx, y0 + h / 3.0f},
                        Point{cx + h / 4.0f, y0}});

    canvas.setColor(Color::ControlShadow);
    canvas.setLineWidth(2.0f);
    canvas.strokeRect(rect);
}
