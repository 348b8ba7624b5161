#include "core/SkyPlotView.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <numbers>
#include <string>

#include "core/SatelliteStore.h"
#include "core/Alert.h"

using platform::Color;
using platform::Font;
using platform::FontKind;
using platform::Point;
using platform::Rect;

namespace {

constexpr float kFeetPerMetre = 3.2808399200439453f;

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

std::string format(const char* pattern, const std::string& label, double value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, pattern, value);
    return label + buffer;
}

std::string format(const char* pattern, const std::string& label, long long value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, pattern, value);
    return label + buffer;
}

// Offset of a satellite from the plot's centre: elevation 0 on the horizon ring of radius r,
// 90 at the centre; azimuth clockwise from north (up).
Point skyOffset(std::int32_t elevation, std::int32_t azimuth, float r)
{
    // Taken unsigned, as the plot always has: an elevation above 90 wraps to a huge radius
    // and lands far outside the view.
    const std::uint32_t fromZenith = 90u - static_cast<std::uint32_t>(elevation);
    const float rho = static_cast<float>(fromZenith) * r / 90.0f;
    const double az = static_cast<double>(azimuth) * std::numbers::pi / 180.0;
    return {rho * static_cast<float>(std::sin(az)), rho * static_cast<float>(std::cos(az))};
}

bool intersects(const Rect& a, const Rect& b)
{
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height &&
           b.y < a.y + a.height;
}

}  // namespace

void SkyPlotView::drawRect(platform::Canvas& canvas, const Rect& dirty)
{
    static const SatelliteStore emptyStore;
    const SatelliteStore& store = m_satelliteStore ? *m_satelliteStore
                                                                   : emptyStore;
    const Rect view = host() ? bounds() : dirty;
    const float d = view.height - 36.0f;
    const float r = d / 2.0f;
    const Font captionFont{FontKind::Default, 12.0f};
    const Font labelFont{FontKind::Label, 12.0f};

    const std::string hdop = format(" %4.1f", Alert::localizedStringWithKey("NSHDOP"),
                                    static_cast<double>(store.hDop()));
    std::string error;
    std::string altitude;
    if (store.meters()) {
        error = format(" %lldm", Alert::localizedStringWithKey("NSHPE"),
                       static_cast<long long>(truncated<std::uint32_t>(store.epe() / kFeetPerMetre)));
        altitude = format(" %lldm", Alert::localizedStringWithKey("NSALT"),
                          static_cast<long long>(truncated<std::int32_t>(store.altitude() / kFeetPerMetre)));
    } else {
        error = format(" %lld'", Alert::localizedStringWithKey("NSHPE"),
                       static_cast<long long>(truncated<std::uint32_t>(store.epe())));
        altitude = format(" %lld'", Alert::localizedStringWithKey("NSALT"),
                          static_cast<long long>(truncated<std::int32_t>(store.altitude())));
    }
    canvas.drawText(hdop, Point{d + 20.0f, d + 20.0f}, captionFont, Color::Black);
    canvas.drawText(error, Point{d + 90.0f, d + 20.0f}, captionFont, Color::Black);
    canvas.drawText(altitude, Point{d + 160.0f, d + 20.0f}, captionFont, Color::Black);

    canvas.setColor(Color::Black);
    canvas.setLineWidth(1.0f);
    canvas.strokeOval(Rect{16.0f + d / 4.0f, 18.0f + d / 4.0f, d / 2.0f, d / 2.0f});
    canvas.strokeOval(Rect{16.0f, 18.0f, d, d});

    canvas.drawText("N", Point{12.0f + r, d + 18.0f}, captionFont, Color::Black);
    canvas.drawText("S", Point{12.0f + r, 0.0f}, captionFont, Color::Black);
    canvas.drawText("W", Point{0.0f, 12.0f + r}, captionFont, Color::Black);
    canvas.drawText("E", Point{d + 20.0f, 12.0f + r}, captionFont, Color::Black);

    for (std::uint32_t i = 0; i < SatelliteStore::kSlots; ++i) {
        const Satellite* satellite = store.satellite(i);
        if (!satellite || satellite->number() == 0) continue;

        char label[16];
        std::snprintf(label, sizeof label, "%02d", static_cast<int>(satellite->number()));
        const platform::Size size = canvas.measureText(label, labelFont);
        const float w = size.width;
        const float h = size.height;
        canvas.setColor(satellite->strength() != 0 ? Color::Green : Color::Red);

        // The marker's lower-left corner sits half a label right of and above the point
        // (r, r) + offset, so a 16 x 18 label centres on the satellite's place in the plot.
        const Point offset = skyOffset(satellite->elevation(), satellite->degrees(), r);
        const Rect marker{r + offset.x + w / 2.0f, r + offset.y + h / 2.0f, w, h};
        // A marker wholly outside the view cannot be seen; it is not handed to the
        // rasteriser with coordinates in the billions.
        if (intersects(marker, Rect{0.0f, 0.0f, view.width, view.height})) {
            canvas.fillRect(marker);
            canvas.drawText(label, Point{marker.x, marker.y}, labelFont, Color::Black);
        }

        const float column = d + 30.0f + static_cast<float>(i) * (w + 2.0f);
        canvas.fillRect(Rect{column, 0.0f, w, h});
        canvas.drawText(label, Point{column, 0.0f}, labelFont, Color::Black);
        canvas.fillRect(Rect{column, h + 2.0f,  w, static_cast<float>(satellite->strength()) * d / 90.0f});
    }
}
