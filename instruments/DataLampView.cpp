// SPDX-License-Identifier: BSD-2-Clause
#include "instruments/DataLampView.h"

#include <cstdint>

using platform::Color;

void DataLampView::drawDataReady(std::uint32_t state)
{
    if (state == m_dataReadyState) return;
    m_dataReadyState = state;
    setNeedsDisplay();
}

void DataLampView::drawRect(platform::Canvas& canvas, const platform::Rect& rect)
{
    // A state outside the three known ones shows as "no data" rather than as a good lamp.
    Color body = Color::Red;
    Color dot = Color::Black;
    if (m_dataReadyState == kUnhandled) {
        body = Color::Yellow;
    } else if (m_dataReadyState == kHandled) {
        body = Color::Green;
        dot = Color::White;
    }

    // Whole-point origin keeps the ring on the pixel grid when the view sits at a
    // fractional position.
    const float x = static_cast<float>(static_cast<std::int32_t>(rect.x));
    const float y = static_cast<float>(static_cast<std::int32_t>(rect.y));
    const platform::Point centre{x + rect.width / 2.0f, y + rect.height / 2.0f};
    const float ringRadius = (rect.height - 2.0f) / 2.0f;
    const float dotRadius = (rect.height - 2.0f) / 8.0f;

    canvas.setColor(body);
    canvas.fillOval({x + 2.0f, y + 2.0f, rect.width - 2.0f, rect.height - 2.0f});

    canvas.setColor(Color::White);
    canvas.setLineWidth(3.0f);
    canvas.strokeArc(centre, ringRadius, 0.0f, 359.0f);

    canvas.setColor(dot);
    canvas.fillArc(centre, dotRadius, 0.0f, 359.0f);
    canvas.setColor(Color::White);
    canvas.setLineWidth(1.0f);
    canvas.strokeArc(centre, dotRadius, 0.0f, 359.0f);
}
