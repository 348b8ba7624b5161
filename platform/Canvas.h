// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <string>
#include <vector>

#include "platform/Drawing.h"
#include "platform/Geometry.h"

namespace platform {

// Where views draw. Coordinates are points with the origin at the lower-left corner of the
// view and y growing upward; a text drawn at (x, y) occupies x..x+width, y..y+height of its
// measured size. Angles are degrees, counterclockwise from the positive x axis.
class Canvas {
public:
    virtual ~Canvas() = default;

    // Selects the colour of every following fill and stroke.
    virtual void setColor(Color color) = 0;
    virtual void setLineWidth(float width) = 0;

    virtual void fillRect(const Rect& rect) = 0;
    virtual void strokeRect(const Rect& rect) = 0;
    // The oval inscribed in the rectangle.
    virtual void fillOval(const Rect& rect) = 0;
    virtual void strokeOval(const Rect& rect) = 0;
    // An arc as an open path from startDegrees to endDegrees, counterclockwise.
    virtual void fillArc(const Point& centre, float radius, float startDegrees, float endDegrees) = 0;
    virtual void strokeArc(const Point& centre, float radius, float startDegrees, float endDegrees) = 0;
    // A closed polygon.
    virtual void fillPolygon(const std::vector<Point>& points) = 0;
    virtual void strokeLine(const Point& from, const Point& to) = 0;

    virtual Size measureText(const std::string& text, const Font& font) = 0;
    // Text in the given colour, lower-left corner of its box at the point.
    virtual void drawText(const std::string& text, const Point& lowerLeft, const Font& font,
                          Color color) = 0;
};

}  // namespace platform
