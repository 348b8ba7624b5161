// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <QPainter>

#include "platform/Canvas.h"

namespace qtplatform {

// A canvas over a QPainter. The views' y axis grows upward, Qt's downward: a point (x, y)
// maps to (x, H - y), with H the height of the area being painted. Antialiasing is on.
// The painter is not owned and must be active for the canvas's lifetime. On a dark
// background black and white trade places, so the instruments' lines and texts stay legible
// and a white face (the compass tape) does not glare.
class QtCanvas : public platform::Canvas {
public:
    QtCanvas(QPainter& painter, qreal height, bool darkBackground = false);

    void setColor(platform::Color color) override;
    void setLineWidth(float width) override;

    void fillRect(const platform::Rect& rect) override;
    void strokeRect(const platform::Rect& rect) override;
    void fillOval(const platform::Rect& rect) override;
    void strokeOval(const platform::Rect& rect) override;
    void fillArc(const platform::Point& centre, float radius, float startDegrees,
                 float endDegrees) override;
    void strokeArc(const platform::Point& centre, float radius, float startDegrees,
                   float endDegrees) override;
    void fillPolygon(const std::vector<platform::Point>& points) override;
    void strokeLine(const platform::Point& from, const platform::Point& to) override;

    platform::Size measureText(const std::string& text, const platform::Font& font) override;
    // WCAG contrast ratio of two colours (1 to 21), and text lightened towards white until
    // it reaches 4.5:1 on a dark background.
    static double contrast(const QColor& a, const QColor& b);
    static QColor legibleOn(const QColor& text, const QColor& background);
    void drawText(const std::string& text, const platform::Point& lowerLeft,
                  const platform::Font& font, platform::Color color) override;

private:
    QPointF map(const platform::Point& point) const;
    QRectF map(const platform::Rect& rect) const;
    QPainterPath arcPath(const platform::Point& centre, float radius, float startDegrees,
                         float endDegrees) const;
    QFont font(const platform::Font& font) const;
    void useFill();
    void useStroke();
    QColor colour(platform::Color color) const;

    QPainter& m_painter;
    qreal m_height;
    QColor m_color{0, 0, 0};
    qreal m_lineWidth = 1.0;
    bool m_dark = false;
};

}  // namespace qtplatform
