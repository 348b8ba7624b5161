// SPDX-License-Identifier: BSD-2-Clause
#include "app/PositionFormatter.h"

#include <cmath>

#include "core/FormatText.h"

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
    const int degrees = static_cast<int>(absolute);
    // Minutes are not rounded into the degrees: 5.999999 reads 05º60.00'.
    const double minutes = (absolute - degrees) * 60.0;

    std::string text;
    if (m_orientation != 0)
        text = formatText("%03d%s%05.2f%c", degrees, kDegreeMark, minutes, '\'');
    else if (m_align)
        text = formatText("  %02d%s%05.2f%c", degrees, kDegreeMark, minutes, '\'');
    else
        text = formatText("%02d%s%05.2f%c", degrees, kDegreeMark, minutes, '\'');
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
