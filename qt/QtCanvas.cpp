// SPDX-License-Identifier: BSD-2-Clause
#include "qt/QtCanvas.h"

#include <QFontMetricsF>
#include <QPainterPath>
#include <QPolygonF>
#include <cmath>

#include "qt/QtFont.h"

namespace qtplatform {

QtCanvas::QtCanvas(QPainter& painter, qreal height, bool darkBackground)
    : m_painter(painter), m_height(height), m_dark(darkBackground)
{
    m_painter.setRenderHint(QPainter::Antialiasing, true);
    m_painter.setRenderHint(QPainter::TextAntialiasing, true);
}

void QtCanvas::setColor(platform::Color color)
{
    m_color = colour(color);
}

QColor QtCanvas::colour(platform::Color color) const
{
    if (m_dark && color == platform::Color::Black) return qtColor(platform::Color::White);
    if (m_dark && color == platform::Color::White) return QColor(32, 34, 38);
    return qtColor(color);
}

namespace {

double relativeLuminance(const QColor& colour)
{
    const auto channel = [](double value) {
        return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) +
           0.0722 * channel(colour.blueF());
}

}  // namespace

double QtCanvas::contrast(const QColor& a, const QColor& b)
{
    const double la = relativeLuminance(a), lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor QtCanvas::legibleOn(const QColor& text, const QColor& background)
{
    constexpr double kLegible = 4.5;
    QColor mixed = text;
    for (int step = 1; step <= 20 && contrast(mixed, background) < kLegible; ++step) {
        const double share = step / 20.0;  // of white mixed in
        mixed = QColor::fromRgbF(static_cast<float>(text.redF() + (1.0 - text.redF()) * share),
                                 static_cast<float>(text.greenF() + (1.0 - text.greenF()) * share),
                                 static_cast<float>(text.blueF() + (1.0 - text.blueF()) * share));
    }
    return mixed;
}

void QtCanvas::setLineWidth(float width)
{
    m_lineWidth = width;
}

QPointF QtCanvas::map(const platform::Point& point) const
{
    return {point.x, m_height - point.y};
}

QRectF QtCanvas::map(const platform::Rect& rect) const
{
    return {rect.x, m_height - rect.y - rect.height, rect.width, rect.height};
}

void QtCanvas::useFill()
{
    m_painter.setPen(Qt::NoPen);
    m_painter.setBrush(m_color);
}

void QtCanvas::useStroke()
{
    QPen pen(m_color);
    pen.setWidthF(m_lineWidth);
    m_painter.setPen(pen);
    m_painter.setBrush(Qt::NoBrush);
}

void QtCanvas::fillRect(const platform::Rect& rect)
{
    m_painter.fillRect(map(rect), m_color);
}

void QtCanvas::strokeRect(const platform::Rect& rect)
{
    useStroke();
    m_painter.drawRect(map(rect));
}

void QtCanvas::fillOval(const platform::Rect& rect)
{
    useFill();
    m_painter.drawEllipse(map(rect));
}

void QtCanvas::strokeOval(const platform::Rect& rect)
{
    useStroke();
    m_painter.drawEllipse(map(rect));
}

QPainterPath QtCanvas::arcPath(const platform::Point& centre, float radius, float startDegrees,
                               float endDegrees) const
{
    // Counterclockwise from start to end. Flipping y keeps the sense of rotation as the
    // viewer sees it, and Qt's angles also run counterclockwise on screen.
    qreal sweep = std::fmod(static_cast<qreal>(endDegrees) - startDegrees, 360.0);
    if (sweep < 0) sweep += 360.0;
    if (sweep == 0 && endDegrees != startDegrees) sweep = 360.0;
    const QPointF c = map(centre);
    const QRectF box(c.x() - radius, c.y() - radius, 2.0 * radius, 2.0 * radius);
    QPainterPath path;
    path.arcMoveTo(box, startDegrees);
    path.arcTo(box, startDegrees, sweep);
    return path;
}

void QtCanvas::fillArc(const platform::Point& centre, float radius, float startDegrees,
                       float endDegrees)
{
    useFill();
    m_painter.drawPath(arcPath(centre, radius, startDegrees, endDegrees));
}

void QtCanvas::strokeArc(const platform::Point& centre, float radius, float startDegrees,
                         float endDegrees)
{
    useStroke();
    m_painter.drawPath(arcPath(centre, radius, startDegrees, endDegrees));
}

void QtCanvas::fillPolygon(const std::vector<platform::Point>& points)
{
    if (points.empty()) return;
    QPolygonF polygon;
    polygon.reserve(static_cast<qsizetype>(points.size()));
    for (const auto& point : points) polygon << map(point);
    useFill();
    m_painter.drawPolygon(polygon);
}

void QtCanvas::strokeLine(const platform::Point& from, const platform::Point& to)
{
    useStroke();
    m_painter.drawLine(map(from), map(to));
}

QFont QtCanvas::font(const platform::Font& font) const
{
    const QPaintDevice* device = m_painter.device();
    return qtFont(font, device ? device->logicalDpiY() : 72);
}

platform::Size QtCanvas::measureText(const std::string& text, const platform::Font& font)
{
    const QFontMetricsF metrics(this->font(font), m_painter.device());
    const QString string = QString::fromStdString(text);
    return {static_cast<float>(metrics.horizontalAdvance(string)),
            static_cast<float>(metrics.height())};
}

void QtCanvas::drawText(const std::string& text, const platform::Point& lowerLeft,
                        const platform::Font& font, platform::Color color)
{
    const QFont qfont = this->font(font);
    const QFontMetricsF metrics(qfont, m_painter.device());
    // The box's top edge in Qt's coordinates, then down to the baseline.
    const qreal top = m_height - lowerLeft.y - metrics.height();
    m_painter.setFont(qfont);
    QColor pen = colour(color);
    // Coloured texts (legends in a constellation's colour) on the dark face: lightened
    // until they read (WCAG's 4.5:1), the hue kept.
    if (m_dark) pen = legibleOn(pen, colour(platform::Color::White));
    m_painter.setPen(pen);
    m_painter.drawText(QPointF(lowerLeft.x, top + metrics.ascent()), QString::fromStdString(text));
}

}  // namespace qtplatform
