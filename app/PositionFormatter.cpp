// SPDX-License-Identifier: BSD-2-Clause
#include "app/PositionFormatter.h"

#include <cmath>

#include "base/FormatText.h"

PositionFormatter::PositionFormatter(int orientation, int style) : m_orientation(orientation)
{
    setStyle(style);
    setAlign(false);
}

std::optional<std::string> PositionFormatter::formatPosition(float value) const
{
    if (m_style != 1) return std::nullopt;
    if (std::isnan(value)) return std::nullopt;
    const double absolute = static_cast<double>(std::fabs(value));
    // Infinite or huge values have no whole degrees in an int; a position never has.
    if (!(absolute < 2147483648.0)) return std::nullopt;
    int degrees = static_cast<int>(absolute);
    // The minutes are printed to hundredths; a value that rounds up to 60.00 is the next
    // whole degree (5.999999 reads 06º00.00', not 05º60.00'). Above 2^23 a float has no
    // fraction, so the carry cannot overflow.
    std::string minutes = formatText("%05.2f", (absolute - degrees) * 60.0);
    if (minutes == "60.00") {
        ++degrees;
        minutes = "00.00";
    }

    std::string text;
    if (m_orientation != 0)
        text = formatText("%03d%s%s%c", degrees, kDegreeMark, minutes.c_str(), '\'');
    else if (m_align)
        text = formatText("  %02d%s%s%c", degrees, kDegreeMark, minutes.c_str(), '\'');
    else
        text = formatText("%02d%s%s%c", degrees, kDegreeMark, minutes.c_str(), '\'');
    // Negative zero counts as north/east.
    if (m_orientation != 0)
        text += value >= 0.0f ? 'E' : 'W';
    else
        text += value >= 0.0f ? 'N' : 'S';
    return text;
}

std::optional<std::string> PositionFormatter::format(std::optional<float> value) const
{
    if (!value) return std::string();
    return formatPosition(*value);
}
