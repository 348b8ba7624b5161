// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/Canvas.h"

namespace fakes {

// Records every drawing call with its arguments and the colour and line width in force,
// so tests can assert geometry. Text is measured by a replaceable metric.
class FakeCanvas : public platform::Canvas {
public:
    struct Call {
        std::string op;           // "fillRect", "strokeOval", "drawText", ...
        std::vector<float> args;  // rect: x y w h; arc: cx cy r start end; line: x1 y1 x2 y2
        std::vector<platform::Point> points;  // polygons
        std::string text;
        platform::Font font;
        platform::Color color = platform::Color::Black;  // colour in force (or of the text)
        float lineWidth = 1.0f;
    };

    // Default metric: half the point size per character, the point size high.
    std::function<platform::Size(const std::string&, const platform::Font&)> metric =
        [](const std::string& text, const platform::Font& font) {
            return platform::Size{static_cast<float>(text.size()) * font.pointSize / 2.0f,
                                  font.pointSize};
        };

    std::vector<Call> calls;

    // Calls of one kind, in order.
    std::vector<Call> callsOf(const std::string& op) const;
    // drawText calls whose text equals the given one.
    std::vector<Call> texts(const std::string& text) const;

    void setColor(platform::Color color) override { m_color = color; }
    void setLineWidth(float width) override { m_lineWidth = width; }
    void fillRect(const platform::Rect& r) override { record("fillRect", {r.x, r.y, r.width, r.height}); }
    void strokeRect(const platform::Rect& r) override { record("strokeRect", {r.x, r.y, r.width, r.height}); }
    void fillOval(const platform::Rect& r) override { record("fillOval", {r.x, r.y, r.width, r.height}); }
    void strokeOval(const platform::Rect& r) override { record("strokeOval", {r.x, r.y, r.width, r.height}); }
    void fillArc(const platform::Point& c, float radius, float start, float end) override
    {
        record("fillArc", {c.x, c.y, radius, start, end});
    }
    void strokeArc(const platform::Point& c, float radius, float start, float end) override
    {
        record("strokeArc", {c.x, c.y, radius, start, end});
    }
    void fillPolygon(const std::vector<platform::Point>& points) override;
    void strokeLine(const platform::Point& a, const platform::Point& b) override
    {
        record("strokeLine", {a.x, a.y, b.x, b.y});
    }
    platform::Size measureText(const std::string& text, const platform::Font& font) override
    {
        return metric(text, font);
    }
    void drawText(const std::string& text, const platform::Point& at, const platform::Font& font,
                  platform::Color color) override;

private:
    void record(const std::string& op, std::vector<float> args);

    platform::Color m_color = platform::Color::Black;
    float m_lineWidth = 1.0f;
};

}  // namespace fakes
