// SPDX-License-Identifier: BSD-2-Clause
#include "instruments/SkyPlotView.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "platform/Alert.h"
#include "base/FormatText.h"
#include "instruments/SatelliteStore.h"
#include "receiver/SignalNames.h"

using platform::Canvas;
using platform::Color;
using platform::Font;
using platform::FontKind;
using platform::Point;
using platform::Rect;
using platform::Size;

namespace {

constexpr float kFeetPerMetre = 3.2808399200439453f;
// The largest HDOP a receiver reports (two digits and a decimal); anything above it is a
// corrupt field and would print over the neighbouring caption.
constexpr float kLargestHdop = 99.95f;

const Font kCaptionFont{FontKind::Default, 12.0f};
const Font kLabelFont{FontKind::Label, 12.0f};
// Lettered markers, legend and grouped bars: smaller, so that forty and more satellites fit.
const Font kLetteredLabelFont{FontKind::Label, 10.0f};
const Font kLegendFont{FontKind::Default, 10.0f};
const Font kBarLabelFont{FontKind::Label, 9.0f};

// Truncation toward zero that stays defined for NaN and out-of-range values (a corrupt DOP
// or altitude field must not make the caption undefined): NaN gives 0, the rest saturate.
template <typename Int>
Int truncated(float value)
{
    if (std::isnan(value)) return 0;
    const double v = static_cast<double>(value);
    if (v <= static_cast<double>(std::numeric_limits<Int>::min())) return std::numeric_limits<Int>::min();
    if (v >= static_cast<double>(std::numeric_limits<Int>::max())) return std::numeric_limits<Int>::max();
    return static_cast<Int>(v);
}

// Two digits at least. A number no receiver sends shows as "??" rather than a label long
// enough to run over its neighbours.
std::string numberLabel(std::int32_t number)
{
    if (number < 0 || number > 999) return "??";
    return formatText("%02d", static_cast<int>(number));
}

// A place the receiver did not give sensibly is not guessed: such a satellite keeps its bar
// but gets no marker, so nothing is drawn outside the horizon.
bool placeable(const Satellite& satellite)
{
    return satellite.elevation() >= 0 && satellite.elevation() <= 90 &&
           satellite.degrees() >= 0 && satellite.degrees() <= 359;
}

// Offset of a satellite from the plot's centre: elevation 0 on the horizon ring of radius r,
// 90 at the centre; azimuth clockwise from north (up).
Point skyOffset(std::int32_t elevation, std::int32_t azimuth, float r)
{
    const float rho = static_cast<float>(90 - elevation) * r / 90.0f;
    const double az = static_cast<double>(azimuth) * std::numbers::pi / 180.0;
    return {rho * static_cast<float>(std::sin(az)), rho * static_cast<float>(std::cos(az))};
}

Color signalColor(const Satellite& satellite)
{
    return satellite.strength() != 0 ? Color::Green : Color::Red;
}

// A filled box with the label on it, framed in black when the satellite is used in the fix.
void drawLabelBox(Canvas& canvas, const Satellite& satellite, const std::string& label,
                  const Rect& box, const Font& font)
{
    canvas.setColor(signalColor(satellite));
    canvas.fillRect(box);
    canvas.drawText(label, Point{box.x, box.y}, font, Color::Black);
    if (satellite.usedInFix()) {
        canvas.setColor(Color::Black);
        canvas.setLineWidth(1.0f);
        canvas.strokeRect(box);
    }
}

// The box of a satellite's marker: its lower-left corner sits half a label right of and
// above the point (r, r) + offset, so a 16 x 18 label centres on the satellite's place in the
// plot; the letter widens the box to both sides of that centre.
Rect markerBox(Canvas& canvas, const Satellite& satellite, const std::string& label, const Font& font,
               float r)
{
    const Size plain = canvas.measureText(numberLabel(satellite.number()), font);
    const Size size = canvas.measureText(label, font);
    const Point offset = skyOffset(satellite.elevation(), satellite.degrees(), r);
    return {r + offset.x + plain.width / 2.0f - (size.width - plain.width) / 2.0f,
            r + offset.y + size.height / 2.0f, size.width, size.height};
}

// A satellite tracked on two or more bands carries a blue frame two points outside its
// marker.
void markMultiBand(Canvas& canvas, const Satellite& satellite, const Rect& marker, bool oval)
{
    if (!satellite.multiBand()) return;
    const Rect around{marker.x - 2.0f, marker.y - 2.0f, marker.width + 4.0f, marker.height + 4.0f};
    canvas.setColor(Color::Blue);
    canvas.setLineWidth(1.0f);
    if (oval)
        canvas.strokeOval(around);
    else
        canvas.strokeRect(around);
}

void drawMarker(Canvas& canvas, const Satellite& satellite, float r)
{
    if (!placeable(satellite)) return;
    const std::string number = numberLabel(satellite.number());
    const Rect box = markerBox(canvas, satellite, number, kLabelFont, r);
    drawLabelBox(canvas, satellite, number, box, kLabelFont);
    markMultiBand(canvas, satellite, box, false);
}

bool boxesOverlap(const Rect& a, const Rect& b)
{
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

// Lettered markers of a crowded sky: a satellite whose label would cover one already drawn
// gets a dot at its place instead, so every label stays legible. Satellites used in the fix
// are labelled first, then the stronger ones.
void drawLetteredMarkers(Canvas& canvas, std::vector<const Satellite*> satellites, float r)
{
    std::stable_sort(satellites.begin(), satellites.end(), [](const Satellite* a, const Satellite* b) {
        if (a->usedInFix() != b->usedInFix()) return a->usedInFix();
        return a->strength() > b->strength();
    });
    constexpr float kDot = 6.0f;
    struct Label {
        const Satellite* satellite;
        std::string text;
        Rect box;
    };
    std::vector<Label> labels;
    std::vector<Rect> taken;
    std::vector<const Satellite*> dotted;
    for (const Satellite* satellite : satellites) {
        if (!placeable(*satellite)) continue;
        std::string text = rinexLetter(satellite->constellation()) + numberLabel(satellite->number());
        const Rect box = markerBox(canvas, *satellite, text, kLetteredLabelFont, r);
        const float frame = satellite->multiBand() ? 2.0f : 0.0f;
        const Rect around{box.x - frame, box.y - frame, box.width + 2 * frame, box.height + 2 * frame};
        if (std::any_of(taken.begin(), taken.end(), [&](const Rect& other) { return boxesOverlap(around, other); })) {
            dotted.push_back(satellite);
            continue;
        }
        labels.push_back({satellite, std::move(text), box});
        taken.push_back(around);
    }
    // Dots first, so that no dot covers a label's text.
    for (const Satellite* satellite : dotted) {
        const Point offset = skyOffset(satellite->elevation(), satellite->degrees(), r);
        const Rect dot{16.0f + r + offset.x - kDot / 2.0f, 18.0f + r + offset.y - kDot / 2.0f, kDot, kDot};
        canvas.setColor(signalColor(*satellite));
        canvas.fillOval(dot);
        if (satellite->usedInFix()) {
            canvas.setColor(Color::Black);
            canvas.setLineWidth(1.0f);
            canvas.strokeOval(dot);
        }
        markMultiBand(canvas, *satellite, dot, true);
    }
    for (const Label& label : labels) {
        drawLabelBox(canvas, *label.satellite, label.text, label.box, kLetteredLabelFont);
        markMultiBand(canvas, *label.satellite, label.box, false);
    }
}

// One column per slot under the plot's right half: the number, and above it a bar as high as
// the plot at full strength.
void drawSlotColumn(Canvas& canvas, const Satellite& satellite, std::uint32_t slot, float d)
{
    const std::string label = numberLabel(satellite.number());
    const Size size = canvas.measureText(label, kLabelFont);
    const float column = d + 30.0f + static_cast<float>(slot) * (size.width + 2.0f);
    drawLabelBox(canvas, satellite, label, Rect{column, 0.0f, size.width, size.height}, kLabelFont);
    canvas.setColor(signalColor(satellite));
    canvas.fillRect(Rect{column, size.height + 2.0f, size.width,
                         static_cast<float>(satellite.strength()) * d / 90.0f});
}

struct SystemCount {
    Constellation system;
    int used = 0;
    int inView = 0;
};

// The systems present, in the order of the satellites, with their counts.
std::vector<SystemCount> countSystems(const std::vector<const Satellite*>& present)
{
    std::vector<SystemCount> counts;
    for (const Satellite* satellite : present) {
        auto found = std::find_if(counts.begin(), counts.end(), [&](const SystemCount& c) {
            return c.system == satellite->constellation();
        });
        if (found == counts.end()) found = counts.insert(counts.end(), {satellite->constellation()});
        ++found->inView;
        if (satellite->usedInFix()) ++found->used;
    }
    return counts;
}

// The legend, top line just under the captions' baseline, two entries a line when they fit.
// Returns the lowest y it drew at.
float drawLegend(Canvas& canvas, const std::vector<SystemCount>& counts, float left, float right,
                 float top)
{
    const std::string heading = Alert::localizedStringWithKey("UsedInView");
    const float lineHeight = canvas.measureText(heading, kLegendFont).height;
    std::vector<std::string> entries;
    float widest = 0.0f;
    for (const auto& count : counts) {
        entries.push_back(formatText("%c %s %d/%d", rinexLetter(count.system),
                                     std::string(constellationName(count.system)).c_str(),
                                     count.used, count.inView));
        widest = std::max(widest, canvas.measureText(entries.back(), kLegendFont).width);
    }
    const float columnWidth = (right - left) / 2.0f;
    const std::size_t perLine = widest + 6.0f <= columnWidth ? 2 : 1;

    float y = top - lineHeight;
    canvas.drawText(heading, Point{left, y}, kLegendFont, Color::Black);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (i % perLine == 0) y -= lineHeight;
        const float x = left + static_cast<float>(i % perLine) * columnWidth;
        canvas.drawText(entries[i], Point{x, y}, kLegendFont, Color::Black);
    }
    return y;
}

// Bars of a satellite's signals: one per signal, coloured by its band.
constexpr float kSignalBarWidth = 4.0f;
constexpr float kSignalBarGap = 1.0f;

Color bandColor(binary::SignalBand band)
{
    switch (band) {
    case binary::SignalBand::L1: return Color::Green;
    case binary::SignalBand::L2: return Color::Blue;
    case binary::SignalBand::L5: return Color::Orange;
    case binary::SignalBand::E6: return Color::Purple;
    case binary::SignalBand::Unknown: break;
    }
    return Color::Cyan;
}

// How many bars a satellite gets: one per signal when the receiver listed them, else one.
std::size_t barCount(const Satellite& satellite)
{
    return std::max<std::size_t>(1, satellite.signalList().size());
}

float signalBarsWidth(std::size_t count)
{
    return static_cast<float>(count) * (kSignalBarWidth + kSignalBarGap) - kSignalBarGap;
}

// The key to the signal bars: every signal drawn, by name, in its band's colour, lines
// flowing from top down between left and right. Returns the lowest y it drew at (top when
// nothing was drawn).
float drawSignalKey(Canvas& canvas, const std::vector<const Satellite*>& present, float left,
                    float right, float top)
{
    struct Named {
        std::string name;
        binary::SignalBand band;
    };
    std::vector<Named> names;
    bool anyMultiBand = false;
    for (const Satellite* satellite : present) {
        anyMultiBand = anyMultiBand || satellite->multiBand();
        if (satellite->signalList().size() < 2) continue;
        for (const SignalInView& signal : satellite->signalList()) {
            std::string name(signalShortName(satellite->constellation(), signal.sigId));
            if (name.empty()) name = "?";
            const auto known = std::find_if(names.begin(), names.end(), [&](const Named& n) { return n.name == name; });
            if (known == names.end())
                names.push_back({name, signalBand(satellite->constellation(), signal.sigId)});
        }
    }
    if (names.empty() && !anyMultiBand) return top;
    // Bands in order, so that the colours read as a scale.
    std::stable_sort(names.begin(), names.end(), [](const Named& a, const Named& b) { return a.band < b.band; });

    const float lineHeight = canvas.measureText("L1", kLegendFont).height;
    const float space = canvas.measureText(" ", kLegendFont).width + 2.0f;
    float y = top - lineHeight;
    float x = left;
    auto place = [&](const std::string& text, Color color) {
        const float width = canvas.measureText(text, kLegendFont).width;
        if (x + width > right && x > left) {
            y -= lineHeight;
            x = left;
        }
        canvas.drawText(text, Point{x, y}, kLegendFont, color);
        x += width + space;
    };
    for (const Named& named : names) place(named.name, bandColor(named.band));
    if (anyMultiBand) place(Alert::localizedStringWithKey("skyPlot.multiBandKey"), Color::Blue);
    return y;
}

// Bars grouped by system in rows between bottom and top: each group opens with its letter
// (repeated when a group carries over to the next row), the columns are as narrow as the
// widest number allows, and the rows share the height. Rows that would leave a bar less
// than eight points are not drawn; the legend still counts those satellites.
void drawGroupedBars(Canvas& canvas, const std::vector<const Satellite*>& present, float left,
                     float right, float bottom, float top)
{
    constexpr float kGap = 2.0f;
    constexpr float kShortestBar = 8.0f;
    float columnWidth = 0.0f;
    float labelHeight = 0.0f;
    for (const Satellite* satellite : present) {
        const Size size = canvas.measureText(numberLabel(satellite->number()), kBarLabelFont);
        columnWidth = std::max(columnWidth, size.width);
        labelHeight = std::max(labelHeight, size.height);
    }

    struct Cell {
        const Satellite* satellite;  // nullptr: the system's letter
        Constellation system;
        float x;
        int row;
        float width = 0.0f;
    };
    std::vector<Cell> cells;
    float x = left;
    int row = 0;
    for (std::size_t i = 0; i < present.size(); ++i) {
        const Constellation system = present[i]->constellation();
        const std::string letter(1, rinexLetter(system));
        const float letterWidth = canvas.measureText(letter, kBarLabelFont).width + kGap;
        bool opensGroup = i == 0 || present[i - 1]->constellation() != system;
        const std::size_t bars = barCount(*present[i]);
        const float width = bars > 1 ? std::max(columnWidth, signalBarsWidth(bars)) : columnWidth;
        if (x + (opensGroup ? letterWidth : 0.0f) + width > right && x > left) {
            ++row;
            x = left;
            opensGroup = true;
        }
        if (opensGroup) {
            cells.push_back({nullptr, system, x, row});
            x += letterWidth;
        }
        cells.push_back({present[i], system, x, row, width});
        x += width + kGap;
    }

    const float height = top - bottom;
    int rows = row + 1;
    const int fitting = static_cast<int>(height / (labelHeight + 4.0f + kShortestBar));
    if (fitting < 1) return;
    rows = std::min(rows, fitting);
    const float rowHeight = height / static_cast<float>(rows);
    const float barScale = (rowHeight - labelHeight - 4.0f) / 90.0f;

    for (const Cell& cell : cells) {
        if (cell.row >= rows) break;
        const float base = top - static_cast<float>(cell.row + 1) * rowHeight;
        if (!cell.satellite) {
            canvas.drawText(std::string(1, rinexLetter(cell.system)), Point{cell.x, base},
                            kBarLabelFont, Color::Black);
            continue;
        }
        const Satellite& satellite = *cell.satellite;
        const float labelX = cell.x + (cell.width - columnWidth) / 2.0f;
        drawLabelBox(canvas, satellite, numberLabel(satellite.number()),
                     Rect{labelX, base, columnWidth, labelHeight}, kBarLabelFont);
        const float barBase = base + labelHeight + 2.0f;
        if (barCount(satellite) == 1) {
            canvas.setColor(signalColor(satellite));
            canvas.fillRect(Rect{labelX, barBase, columnWidth,
                                 static_cast<float>(satellite.strength()) * barScale});
            continue;
        }
        // A signal not tracked shows as a red stub, so the count of signals stays visible.
        float barX = cell.x + (cell.width - signalBarsWidth(barCount(satellite))) / 2.0f;
        for (const SignalInView& signal : satellite.signalList()) {
            const bool tracked = signal.snrDbHz && Satellite::strengthForSnr(*signal.snrDbHz) > 0;
            canvas.setColor(tracked ? bandColor(signalBand(satellite.constellation(), signal.sigId)) : Color::Red);
            const float height = tracked ? static_cast<float>(Satellite::strengthForSnr(*signal.snrDbHz)) * barScale : 2.0f;
            canvas.fillRect(Rect{barX, barBase, kSignalBarWidth, height});
            barX += kSignalBarWidth + kSignalBarGap;
        }
    }
}

std::string hdopCaption(float hdop)
{
    const std::string label = Alert::localizedStringWithKey("HDOP");
    if (std::isnan(hdop) || std::fabs(hdop) < kLargestHdop)
        return label + formatText(" %4.1f", static_cast<double>(hdop));
    return label + (hdop > 0 ? " >99" : " <-99");
}

std::string errorCaption(const SatelliteStore& store)
{
    const std::string label = Alert::localizedStringWithKey("HPE");
    if (std::fabs(store.hDop()) >= kLargestHdop) return label + " --";
    if (store.meters())
        return label + formatText(" %um", truncated<std::uint32_t>(store.epe() / kFeetPerMetre));
    return label + formatText(" %u'", truncated<std::uint32_t>(store.epe()));
}

std::string altitudeCaption(const SatelliteStore& store)
{
    const std::string label = Alert::localizedStringWithKey("ALT");
    if (store.meters())
        return label + formatText(" %dm", truncated<std::int32_t>(store.altitude() / kFeetPerMetre));
    return label + formatText(" %d'", truncated<std::int32_t>(store.altitude()));
}

}  // namespace

void SkyPlotView::drawRect(Canvas& canvas, const Rect& dirty)
{
    static const SatelliteStore emptyStore;
    const SatelliteStore& store = m_satelliteStore ? *m_satelliteStore : emptyStore;
    const Rect view = host() ? bounds() : dirty;
    const float d = view.height - 36.0f;
    const float r = d / 2.0f;

    canvas.drawText(hdopCaption(store.hDop()), Point{d + 20.0f, d + 20.0f}, kCaptionFont, Color::Black);
    canvas.drawText(errorCaption(store), Point{d + 90.0f, d + 20.0f}, kCaptionFont, Color::Black);
    canvas.drawText(altitudeCaption(store), Point{d + 160.0f, d + 20.0f}, kCaptionFont, Color::Black);

    canvas.setColor(Color::Black);
    canvas.setLineWidth(1.0f);
    canvas.strokeOval(Rect{16.0f + d / 4.0f, 18.0f + d / 4.0f, d / 2.0f, d / 2.0f});
    canvas.strokeOval(Rect{16.0f, 18.0f, d, d});

    canvas.drawText("N", Point{12.0f + r, d + 18.0f}, kCaptionFont, Color::Black);
    canvas.drawText("S", Point{12.0f + r, 0.0f}, kCaptionFont, Color::Black);
    canvas.drawText("W", Point{0.0f, 12.0f + r}, kCaptionFont, Color::Black);
    canvas.drawText("E", Point{d + 20.0f, 12.0f + r}, kCaptionFont, Color::Black);

    std::vector<const Satellite*> present;
    for (std::uint32_t i = 0; i < store.size(); ++i)
        if (const Satellite* satellite = store.satellite(i); satellite && satellite->number() != 0)
            present.push_back(satellite);
    // Grouped order, whatever order the slots were filled in.
    std::stable_sort(present.begin(), present.end(), [](const Satellite* a, const Satellite* b) {
        return a->constellation() < b->constellation();
    });
    const std::vector<SystemCount> counts = countSystems(present);
    const bool lettered = counts.size() > 1;
    // A receiver that lists signals one by one gets the grouped bars, one per signal.
    const bool perSignal = std::any_of(present.begin(), present.end(),
                                       [](const Satellite* s) { return s->signalList().size() > 1; });
    const bool slotColumns = !lettered && !perSignal && store.size() <= SatelliteStore::kSlots;

    if (lettered) drawLetteredMarkers(canvas, present, r);
    for (std::uint32_t i = 0; i < store.size(); ++i) {
        const Satellite* satellite = store.satellite(i);
        if (!satellite || satellite->number() == 0 || lettered) continue;
        drawMarker(canvas, *satellite, r);
        if (slotColumns) drawSlotColumn(canvas, *satellite, i, d);
    }
    if (slotColumns || present.empty()) return;

    const float left = d + 30.0f;
    const float right = view.width - 2.0f;
    const float legendBottom = drawLegend(canvas, counts, left, right, d + 18.0f);
    const float keyBottom = drawSignalKey(canvas, present, left, right, legendBottom);
    drawGroupedBars(canvas, present, left, right, 0.0f, keyBottom - 4.0f);
}
