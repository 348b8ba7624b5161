// SPDX-License-Identifier: BSD-2-Clause
#include "instruments/SignalStripChart.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <unordered_map>

#include "platform/Alert.h"
#include "quality/FirstFixTimer.h"  // kConstellationCount
#include "quality/SignalHistory.h"

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

}  // namespace

Color SignalStripChart::colorOf(Constellation system)
{
    switch (system) {
    case Constellation::GPS: return Color::Blue;
    case Constellation::SBAS: return Color::Brown;
    case Constellation::Galileo: return Color::Purple;
    case Constellation::BeiDou: return Color::Orange;
    case Constellation::QZSS: return Color::Magenta;
    case Constellation::GLONASS: return Color::Red;
    case Constellation::NavIC: return Color::Cyan;
    }
    return Color::Black;
}

void SignalStripChart::draw(platform::Canvas& canvas, const Rect& area, const SignalHistory* history,
                            double now) const
{
    const Rect plot{area.x + 40.0f, area.y + 2.0f * m_row + 6.0f, area.width - 40.0f - m_margin,
                    area.height - 4.0f * m_row - 10.0f};
    if (plot.width <= 0.0f || plot.height <= 0.0f) return;

    canvas.setLineWidth(1.0f);
    canvas.setColor(Color::LightGray);
    for (int snr = 10; snr <= 60; snr += 10) {
        const float y = plot.y + static_cast<float>(snr) / kTopSnr * plot.height;
        canvas.strokeLine(Point{plot.x, y}, Point{plot.x + plot.width, y});
        char tick[8];
        std::snprintf(tick, sizeof tick, "%d", snr);
        canvas.drawText(tick, Point{plot.x - 20.0f, y - 5.0f}, m_textFont, Color::ControlShadow);
    }
    for (int minute = 0; minute <= 10; minute += 2) {
        const float x = plot.x + plot.width - static_cast<float>(minute) / 10.0f * plot.width;
        canvas.strokeLine(Point{x, plot.y}, Point{x, plot.y + plot.height});
        char tick[16];
        std::snprintf(tick, sizeof tick, minute == 0 ? "0" : "-%d min", minute);
        canvas.drawText(tick, Point{x - (minute == 0 ? 3.0f : 18.0f), plot.y - m_row}, m_textFont,
                        Color::ControlShadow);
    }
    canvas.setColor(Color::ControlShadow);
    canvas.strokeRect(plot);
    canvas.drawText("dB-Hz", Point{plot.x + 4.0f, plot.y + plot.height - m_row}, m_textFont, Color::ControlShadow);

    // Legend: the constellations seen, and how a satellite used in the fix is drawn.
    float lx = area.x + m_margin;
    const float ly = area.y + 2.0f;
    std::array<bool, kConstellationCount> seen{};
    if (history) {
        const auto& samples = history->samples();
        for (std::size_t i = 0; i < samples.size(); ++i) {
            seen[static_cast<std::size_t>(samples[i].constellation) % kConstellationCount] = true;
        }
    }
    for (std::size_t s = 0; s < kConstellationCount; ++s) {
        if (!seen[s]) continue;
        const auto system = static_cast<Constellation>(s);
        const std::string name(constellationName(system));
        canvas.drawText(name, Point{lx, ly}, m_textFont, colorOf(system));
        lx += canvas.measureText(name, m_textFont).width + 10.0f;
    }
    canvas.drawText(Alert::localizedStringWithKey("TestUsedThick"), Point{lx + 6.0f, ly}, m_textFont,
                    Color::Black);
    if (!history) return;

    const auto at = [&](const SignalSample& sample) {
        const double age = std::clamp(now - sample.timeSeconds, 0.0, SignalHistory::kWindowSeconds);
        const float x = plot.x + plot.width - static_cast<float>(age / SignalHistory::kWindowSeconds) * plot.width;
        const float y = plot.y + std::min(static_cast<float>(sample.snrDbHz), kTopSnr) / kTopSnr * plot.height;
        return Point{x, y};
    };
    // Each satellite's previous sample; a segment joins it to the next one when both had a
    // signal and no gap lies between them.
    std::unordered_map<std::uint32_t, SignalSample> previous;
    const auto& samples = history->samples();
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
