// SPDX-License-Identifier: BSD-2-Clause
// The lower half of the receiver test: the signal strip chart and the obstruction map.
#include "core/ReceiverTestView.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <unordered_map>
#include <vector>

#include "core/Alert.h"
#include "core/ReceiverTest.h"

using platform::Color;
using platform::Point;
using platform::Rect;

namespace {

constexpr float kTopSnr = 60.0f;
// Samples further apart than this are not joined: the satellite was lost in between.
constexpr double kGapSeconds = 30.0;

std::uint32_t keyOf(const SignalSample& sample)
{
    return (static_cast<std::uint32_t>(sample.constellation) << 16) | sample.svid;
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

void ReceiverTestView::drawSignals(platform::Canvas& canvas, const Rect& area) const
{
    drawTitle(canvas, area, "NSTestSignalsTitle");
    const Rect plot{area.x + 40.0f, area.y + 2.0f * kRow + 6.0f, area.width - 40.0f - kMargin,
                    area.height - 4.0f * kRow - 10.0f};
    if (plot.width <= 0.0f || plot.height <= 0.0f) return;

    canvas.setLineWidth(1.0f);
    canvas.setColor(Color::LightGray);
    for (int snr = 10; snr <= 60; snr += 10) {
        const float y = plot.y + static_cast<float>(snr) / kTopSnr * plot.height;
        canvas.strokeLine(Point{plot.x, y}, Point{plot.x + plot.width, y});
        char tick[8];
        std::snprintf(tick, sizeof tick, "%d", snr);
        canvas.drawText(tick, Point{plot.x - 20.0f, y - 5.0f}, kTextFont, Color::ControlShadow);
    }
    for (int minute = 0; minute <= 10; minute += 2) {
        const float x = plot.x + plot.width - static_cast<float>(minute) / 10.0f * plot.width;
        canvas.strokeLine(Point{x, plot.y}, Point{x, plot.y + plot.height});
        char tick[16];
        std::snprintf(tick, sizeof tick, minute == 0 ? "0" : "-%d min", minute);
        canvas.drawText(tick, Point{x - (minute == 0 ? 3.0f : 18.0f), plot.y - kRow}, kTextFont,
                        Color::ControlShadow);
    }
    canvas.setColor(Color::ControlShadow);
    canvas.strokeRect(plot);
    canvas.drawText("dB-Hz", Point{plot.x + 4.0f, plot.y + plot.height - kRow}, kTextFont, Color::ControlShadow);

    // Legend: the constellations seen, and how a satellite used in the fix is drawn.
    float lx = area.x + kMargin;
    const float ly = area.y + 2.0f;
    std::array<bool, kConstellationCount> seen{};
    if (m_test) {
        const auto& samples = m_test->signalHistory().samples();
        for (std::size_t i = 0; i < samples.size(); ++i) {
            seen[static_cast<std::size_t>(samples[i].constellation) % kConstellationCount] = true;
        }
    }
    for (std::size_t s = 0; s < kConstellationCount; ++s) {
        if (!seen[s]) continue;
        const auto system = static_cast<Constellation>(s);
        const std::string name(constellationName(system));
        canvas.drawText(name, Point{lx, ly}, kTextFont, colorOf(system));
        lx += canvas.measureText(name, kTextFont).width + 10.0f;
    }
    canvas.drawText(Alert::localizedStringWithKey("NSTestUsedThick"), Point{lx + 6.0f, ly}, kTextFont,
                    Color::Black);
    if (!m_test) return;

    const double now = m_now;
    const auto at = [&](const SignalSample& sample) {
        const double age = std::clamp(now - sample.timeSeconds, 0.0, SignalHistory::kWindowSeconds);
        const float x = plot.x + plot.width - static_cast<float>(age / SignalHistory::kWindowSeconds) * plot.width;
        const float y = plot.y + std::min(static_cast<float>(sample.snrDbHz), kTopSnr) / kTopSnr * plot.height;
        return Point{x, y};
    };
    // Each satellite's previous sample; a segment joins it to the next one when both had a
    // signal and no gap lies between them.
    std::unordered_map<std::uint32_t, SignalSample> previous;
    const auto& samples = m_test->signalHistory().samples();
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const SignalSample& sample = samples[i];
        if (now - sample.timeSeconds > SignalHistory::kWindowSeconds) continue;
        const auto found = previous.find(keyOf(sample));
        if (found != previous.end()) {
            const SignalSample& before = found->second;
            if (before.snrDbHz > 0 && sample.snrDbHz > 0 && sample.timeSeconds - before.timeSeconds <= kGapSeconds) {
                canvas.setColor(colorOf(sample.constellation));
                canvas.setLineWidth(sample.usedInFix ? 2.0f : 1.0f);
                canvas.strokeLine(at(before), at(sample));
            }
            found->second = sample;
        } else {
            previous.emplace(keyOf(sample), sample);
        }
    }
    canvas.setLineWidth(1.0f);
}

void ReceiverTestView::drawObstructions(platform::Canvas& canvas, const Rect& area) const
{
    drawTitle(canvas, area, "NSTestSkyTitle");
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
    } shades[] = {{40, "NSTestSnrStrong"}, {30, "NSTestSnrMiddling"}, {15, "NSTestSnrWeak"}, {0, "NSTestSnrNone"}};
    for (const auto& shade : shades) {
        canvas.setColor(colorOfSnr(shade.snr));
        canvas.fillRect(Rect{lx, ly, 12.0f, 10.0f});
        canvas.drawText(Alert::localizedStringWithKey(shade.key), Point{lx + 18.0f, ly - 1.0f}, kTextFont,
                        Color::Black);
        ly -= kRow;
    }
    canvas.drawText(Alert::localizedStringWithKey("NSTestSkyNote"), Point{lx, ly - 4.0f}, kTextFont,
                    Color::ControlShadow);
}
