// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>

#include "platform/Drawing.h"
#include "platform/View.h"

// The heading tape: a strip showing `range` degrees of the compass card centred on the
// course, ticks every 5 degrees, labels every 30, and a fixed mark at the middle of the
// bottom edge. Disabled (drawing nothing) until the first heading arrives.
class CompassView : public platform::View {
public:
    // Degrees across the full width; nothing but background, mark and border when not
    // positive.
    void setRange(std::int32_t range);
    // Course in whole degrees from true north; enables the view. Shown modulo 360.
    void setHeading(std::uint32_t heading);
    // Degrees taken off the heading (whole degrees are used); enables the view.
    void setVariation(float variation);
    // Draw nothing until the next heading or variation.
    void disable();
    void setBackgroundColor(platform::Color color);

    bool enabled() const { return m_enabled; }
    std::uint32_t heading() const { return m_heading; }
    float variation() const { return m_variation; }
    std::int32_t range() const { return m_range; }
    platform::Color backgroundColor() const { return m_backgroundColor; }

    bool isOpaque() const override { return false; }
    void drawRect(platform::Canvas& canvas, const platform::Rect& rect) override;

private:
    bool m_enabled = false;
    std::uint32_t m_heading = 0;
    float m_variation = 0.0f;
    std::int32_t m_range = 120;
    platform::Color m_backgroundColor = platform::Color::White;
};
