// SPDX-License-Identifier: BSD-2-Clause
#include "instruments/ReceiverTestView.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

#include "platform/Alert.h"
#include "quality/ReceiverTest.h"

using platform::Color;
using platform::Font;
using platform::FontKind;
using platform::Point;
using platform::Rect;

namespace {

const Font kClockFont{FontKind::BoldSystem, 28.0f};

std::string text(const char* format, double value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

std::string label(const char* key)
{
    return Alert::localizedStringWithKey(key);
}

std::string seconds(const std::optional<double>& value)
{
    return value ? text("%.1f", *value) : std::string("-");
}

// A point of the sky map: elevation 90 at the centre, 0 on the ring of the given radius;
// azimuth clockwise from north (up).
Point skyPoint(const Point& centre, float radius, double elevation, double azimuth)
{
    const double rho = (90.0 - elevation) / 90.0 * radius;
    const double a = azimuth * std::numbers::pi / 180.0;
    return {centre.x + static_cast<float>(rho * std::sin(a)), centre.y + static_cast<float>(rho * std::cos(a))};
}

}  // namespace

Color ReceiverTestView::colorOfSnr(int snrDbHz)
{
    if (snrDbHz <= 0) return Color::Red;
    if (snrDbHz < 25) return Color::Orange;
    if (snrDbHz < 35) return Color::Yellow;
    return Color::Green;
}

double ReceiverTestView::scatterRange(double metres)
{
    if (!std::isfinite(metres) || metres <= 0.1) return 0.1;
    const double power = std::pow(10.0, std::floor(std::log10(metres)));
    for (const double step : {1.0, 2.0, 5.0, 10.0}) {
        if (metres <= step * power * (1.0 + 1e-12)) return step * power;
    }
    return 10.0 * power;
}

void ReceiverTestView::drawRect(platform::Canvas& canvas, const Rect& dirty)
{
    const Rect view = host() ? bounds() : dirty;
    const float halfWidth = view.width / 2.0f;
    const float halfHeight = view.height / 2.0f;
    drawFirstFix(canvas, Rect{0.0f, halfHeight, halfWidth, halfHeight});
    drawScatter(canvas, Rect{halfWidth, halfHeight, halfWidth, halfHeight});
    const Rect signals{0.0f, 0.0f, halfWidth, halfHeight};
    drawTitle(canvas, signals, "TestSignalsTitle");
    m_signals.draw(canvas, signals, m_test ? &m_test->signalHistory() : nullptr, m_now);
    drawObstructions(canvas, Rect{halfWidth, 0.0f, halfWidth, halfHeight});

    canvas.setColor(Color::ControlShadow);
    canvas.setLineWidth(1.0f);
    canvas.strokeLine(Point{halfWidth, 0.0f}, Point{halfWidth, view.height});
    canvas.strokeLine(Point{0.0f, halfHeight}, Point{view.width, halfHeight});
}

float ReceiverTestView::drawTitle(platform::Canvas& canvas, const Rect& area, const char* key)
{
    const float baseline = area.y + area.height - kMargin - kRow;
    canvas.drawText(label(key), Point{area.x + kMargin, baseline}, kTitleFont, Color::Black);
    return baseline;
}

void ReceiverTestView::drawFirstFix(platform::Canvas& canvas, const Rect& area) const
{
    float y = drawTitle(canvas, area, "TestFirstFixTitle");
    const float x = area.x + kMargin;

    const FirstFixTimer* timer = m_test ? &m_test->firstFix() : nullptr;
    const auto clock = timer ? timer->clockSeconds(m_now) : std::nullopt;
    y -= 36.0f;
    canvas.drawText(clock ? text("%.1f s", *clock) : std::string("-- s"), Point{x, y}, kClockFont,
                    Color::Black);
    std::string state = label("TestNotConnected");
    if (timer && !timer->runs().empty()) {
        const FirstFixRun& run = timer->runs().newest();
        if (run.first3dFix) {
            state = label("TestHave3D");
        } else if (!timer->running()) {
            state = label("TestStopped");
        } else if (run.first2dFix) {
            state = label("TestHave2D");
        } else {
            state = label("TestSearching");
        }
        state = label(runStartKey(run.start).c_str()) + ": " + state;
    }
    canvas.drawText(state, Point{x + 150.0f, y + 8.0f}, kTextFont, Color::Black);

    // The table: one row per run, newest at the top; a column per constellation that any
    // run has used.
    std::array<bool, kConstellationCount> shown{};
    if (timer) {
        for (std::size_t i = 0; i < timer->runs().size(); ++i) {
            for (std::size_t s = 0; s < kConstellationCount; ++s) {
                shown[s] = shown[s] || timer->runs()[i].firstFixWith[s].has_value();
            }
        }
    }
    // Narrower columns when the quarter cannot hold them at their natural width.
    const auto systems = static_cast<float>(std::count(shown.begin(), shown.end(), true));
    const float natural = 78.0f + 4.0f * 50.0f + systems * 34.0f;
    const float scale = std::clamp((area.width - 2.0f * kMargin) / natural, 0.6f, 1.0f);
    const float startWidth = 78.0f * scale;
    const float columnWidth = 50.0f * scale;
    const float systemWidth = 34.0f * scale;
    y -= kRow + 8.0f;
    float cx = x + startWidth;
    canvas.drawText(label("TestStart"), Point{x, y}, kTextFont, Color::Black);
    for (const char* key : {"TestFirstSentence", "TestFirstSignal", "TestFirst2D", "TestFirst3D"}) {
        canvas.drawText(label(key), Point{cx, y}, kTextFont, Color::Black);
        cx += columnWidth;
    }
    for (std::size_t s = 0; s < kConstellationCount; ++s) {
        if (!shown[s]) continue;
        const auto system = static_cast<Constellation>(s);
        canvas.drawText(std::string(1, rinexLetter(system)), Point{cx, y}, kTextFont,
                        SignalStripChart::colorOf(system));
        cx += systemWidth;
    }
    canvas.setColor(Color::ControlShadow);
    canvas.strokeLine(Point{x, y - 3.0f}, Point{cx, y - 3.0f});
    if (!timer) return;
    for (std::size_t i = timer->runs().size(); i-- > 0;) {
        y -= kRow;
        if (y < area.y + 4.0f) break;
        const FirstFixRun& run = timer->runs()[i];
        canvas.drawText(label(runStartKey(run.start).c_str()), Point{x, y}, kTextFont, Color::Black);
        cx = x + startWidth;
        for (const auto* milestone : {&run.firstSentence, &run.firstSignal, &run.first2dFix, &run.first3dFix}) {
            canvas.drawText(seconds(*milestone), Point{cx, y}, kTextFont, Color::Black);
            cx += columnWidth;
        }
        for (std::size_t s = 0; s < kConstellationCount; ++s) {
            if (!shown[s]) continue;
            canvas.drawText(seconds(run.firstFixWith[s]), Point{cx, y}, kTextFont, Color::Black);
            cx += systemWidth;
        }
    }
}

void ReceiverTestView::drawScatter(platform::Canvas& canvas, const Rect& area) const
{
    const float titleY = drawTitle(canvas, area, "TestAccuracyTitle");
    const float legendWidth = 200.0f;
    const float side = std::max(20.0f, std::min(area.width - legendWidth - 2.0f * kMargin,
                                                area.height - kRow - 3.0f * kMargin));
    const float radius = side / 2.0f;
    const Point centre{area.x + kMargin + radius, area.y + kMargin + radius};

    const AccuracyStatistics* stats = m_test ? &m_test->accuracy() : nullptr;
    const auto& summary = stats ? stats->summary() : std::optional<AccuracySummary>{};
    const bool moving = summary && summary->moving;
    double maxRadius = 0.0;
    if (summary) {
        maxRadius = std::max(summary->drms2Metres, summary->cep95Metres);
        for (const ScatterPoint& p : stats->scatter()) {
            maxRadius = std::max(maxRadius, std::hypot(p.eastMetres, p.northMetres));
        }
    }
    const double range = scatterRange(maxRadius);
    const float pointsPerMetre = static_cast<float>(radius / range);

    // Grid: the outer ring is the range, the inner one half of it; cross through the mean.
    canvas.setColor(Color::ControlShadow);
    canvas.setLineWidth(1.0f);
    canvas.strokeOval(Rect{centre.x - radius, centre.y - radius, side, side});
    canvas.strokeOval(Rect{centre.x - radius / 2.0f, centre.y - radius / 2.0f, radius, radius});
    canvas.strokeLine(Point{centre.x - radius, centre.y}, Point{centre.x + radius, centre.y});
    canvas.strokeLine(Point{centre.x, centre.y - radius}, Point{centre.x, centre.y + radius});
    canvas.drawText(text("%g m", range), Point{centre.x + radius * 0.72f, centre.y + radius * 0.72f},
                    kTextFont, Color::ControlShadow);
    canvas.drawText("N", Point{centre.x + 3.0f, centre.y + radius - kRow}, kTextFont, Color::ControlShadow);
    canvas.drawText("E", Point{centre.x + radius - 10.0f, centre.y + 3.0f}, kTextFont, Color::ControlShadow);

    const float legendX = area.x + side + 2.0f * kMargin + 4.0f;
    float y = titleY - kRow - 4.0f;
    if (!summary) {
        canvas.drawText(label("TestNoFixes"), Point{legendX, y}, kTextFont, Color::Black);
        return;
    }

    canvas.setColor(moving ? Color::LightGray : Color::Blue);
    for (const ScatterPoint& p : stats->scatter()) {
        const float px = centre.x + static_cast<float>(p.eastMetres) * pointsPerMetre;
        const float py = centre.y + static_cast<float>(p.northMetres) * pointsPerMetre;
        if (std::hypot(px - centre.x, py - centre.y) > radius) continue;
        canvas.fillOval(Rect{px - 1.5f, py - 1.5f, 3.0f, 3.0f});
    }
    const struct {
        double metres;
        Color color;
        const char* key;
        const char* formula;
    } circles[] = {
        {summary->cep50Metres, Color::Green, "TestCep50", "TestCep50Formula"},
        {summary->cep95Metres, Color::Orange, "TestCep95", "TestCep95Formula"},
        {summary->drms2Metres, Color::Red, "TestDrms2", "TestDrms2Formula"},
    };
    canvas.setLineWidth(1.5f);
    for (const auto& circle : circles) {
        const float r = static_cast<float>(circle.metres) * pointsPerMetre;
        canvas.setColor(moving ? Color::LightGray : circle.color);
        if (r > 0.0f && r <= radius) canvas.strokeOval(Rect{centre.x - r, centre.y - r, 2.0f * r, 2.0f * r});
    }
    canvas.setLineWidth(1.0f);
    canvas.setColor(moving ? Color::LightGray : Color::Black);
    canvas.fillRect(Rect{centre.x - 2.5f, centre.y - 2.5f, 5.0f, 5.0f});

    const Color textColor = moving ? Color::ControlShadow : Color::Black;
    canvas.drawText(label("TestPoints") + text(" %.0f", static_cast<double>(summary->points)),
                    Point{legendX, y}, kTextFont, textColor);
    y -= kRow;
    canvas.drawText(text("%.7f", summary->mean.latitudeDegrees) + text(" %.7f", summary->mean.longitudeDegrees),
                    Point{legendX, y}, kTextFont, textColor);
    y -= kRow + 4.0f;
    for (const auto& circle : circles) {
        // A stroke of the circle's colour beside black text: pure green text is unreadable.
        canvas.setColor(moving ? Color::LightGray : circle.color);
        canvas.setLineWidth(3.0f);
        canvas.strokeLine(Point{legendX, y + 5.0f}, Point{legendX + 14.0f, y + 5.0f});
        canvas.setLineWidth(1.0f);
        canvas.drawText(label(circle.key) + text(" %.2f m", circle.metres), Point{legendX + 20.0f, y},
                        kTextFont, textColor);
        y -= kRow;
        canvas.drawText(label(circle.formula), Point{legendX + 8.0f, y}, kTextFont, textColor);
        y -= kRow;
    }
    canvas.drawText(label("TestCep50Estimate") + text(" %.2f m", summary->cep50EstimateMetres),
                    Point{legendX, y}, kTextFont, textColor);
    y -= kRow;
    canvas.drawText(label("TestCep50EstimateFormula"), Point{legendX + 8.0f, y}, kTextFont, textColor);
    y -= kRow;
    canvas.drawText(text("σE %.2f m", summary->sigmaEastMetres) + text("  σN %.2f m", summary->sigmaNorthMetres),
                    Point{legendX + 8.0f, y}, kTextFont, textColor);
    y -= kRow + 4.0f;
    const std::string estimate =
        summary->receiverEstimateMetres ? text(" %.2f m", *summary->receiverEstimateMetres) : std::string(" -");
    canvas.drawText(label("TestReceiverEstimate") + estimate, Point{legendX, y}, kTextFont, textColor);
    y -= kRow;
    canvas.drawText(label("TestReceiverEstimateFormula"), Point{legendX + 8.0f, y}, kTextFont, textColor);
    if (summary->meanHdop) {
        y -= kRow;
        canvas.drawText(text("HDOP %.2f", *summary->meanHdop), Point{legendX + 8.0f, y}, kTextFont, textColor);
    }
    if (moving) {
        y -= kRow + 4.0f;
        canvas.drawText(label("TestMoving"), Point{legendX, y}, kTextFont, Color::Red);
    }
}

void ReceiverTestView::drawObstructions(platform::Canvas& canvas, const Rect& area) const
{
    drawTitle(canvas, area, "TestSkyTitle");
    const float legendWidth = 150.0f;
    const float radius = std::max(10.0f, std::min((area.width - legendWidth) / 2.0f - 2.0f * kMargin,
                                                  (area.height - kRow) / 2.0f - 2.0f * kMargin));
    const Point centre{area.x + 2.0f * kMargin + radius, area.y + kMargin + radius};

    if (m_test) {
        const ObstructionMap& map = m_test->obstructions();
        for (int e = 0; e < ObstructionMap::kElevationCells; ++e) {
            for (int a = 0; a < ObstructionMap::kAzimuthCells; ++a) {
                const auto median = map.medianSnr(a, e);
                if (!median) continue;
                const double low = e * ObstructionMap::kCellDegrees;
                const double high = low + ObstructionMap::kCellDegrees;
                const double west = a * ObstructionMap::kCellDegrees;
                const double east = west + ObstructionMap::kCellDegrees;
                std::vector<Point> cell;
                for (double az = west; az <= east + 1e-9; az += 2.5) cell.push_back(skyPoint(centre, radius, low, az));
                for (double az = east; az >= west - 1e-9; az -= 2.5) cell.push_back(skyPoint(centre, radius, high, az));
                canvas.setColor(colorOfSnr(*median));
                canvas.fillPolygon(cell);
            }
        }
    }

    canvas.setColor(Color::ControlShadow);
    canvas.setLineWidth(1.0f);
    for (const float elevation : {0.0f, 30.0f, 60.0f}) {
        const float r = (90.0f - elevation) / 90.0f * radius;
        canvas.strokeOval(Rect{centre.x - r, centre.y - r, 2.0f * r, 2.0f * r});
    }
    canvas.strokeLine(Point{centre.x - radius, centre.y}, Point{centre.x + radius, centre.y});
    canvas.strokeLine(Point{centre.x, centre.y - radius}, Point{centre.x, centre.y + radius});
    canvas.drawText("N", Point{centre.x - 4.0f, centre.y + radius + 2.0f}, kTextFont, Color::Black);
    canvas.drawText("E", Point{centre.x + radius + 3.0f, centre.y - 6.0f}, kTextFont, Color::Black);

    // Legend: what each shade means.
    const float lx = centre.x + radius + 3.0f * kMargin;
    float ly = centre.y + radius - 2.0f * kRow;
    const struct {
        int snr;
        const char* key;
    } shades[] = {{40, "TestSnrStrong"}, {30, "TestSnrMiddling"}, {15, "TestSnrWeak"}, {0, "TestSnrNone"}};
    for (const auto& shade : shades) {
        canvas.setColor(colorOfSnr(shade.snr));
        canvas.fillRect(Rect{lx, ly, 12.0f, 10.0f});
        canvas.drawText(Alert::localizedStringWithKey(shade.key), Point{lx + 18.0f, ly - 1.0f}, kTextFont,
                        Color::Black);
        ly -= kRow;
    }
    canvas.drawText(Alert::localizedStringWithKey("TestSkyNote"), Point{lx, ly - 4.0f}, kTextFont,
                    Color::ControlShadow);
}
