// SPDX-License-Identifier: BSD-2-Clause
#include "app/SpeedFormatter.h"

#include <bit>

#include "base/FormatText.h"

namespace {

// Single-precision factors, multiplied in single precision: the tenths shown depend on it.
const float kMilesPerNauticalMile = std::bit_cast<float>(std::uint32_t{0x3F934C06});  // 1.1507576
const float kKilometresPerMile = std::bit_cast<float>(std::uint32_t{0x3FCDFF15});     // 1.6093470

}  // namespace

std::optional<std::string> SpeedFormatter::format(std::optional<float> value) const
{
    if (!value) return std::string();
    const float knots = *value;
    if (m_units == 0) {
        const float mph = knots * kMilesPerNauticalMile;
        return formatText("%.1f MPH", static_cast<double>(mph));
    }
    if (m_units == 1) {
        const float mph = knots * kMilesPerNauticalMile;
        const float kmh = mph * kKilometresPerMile;
        return formatText("%.1f KM/H", static_cast<double>(kmh));
    }
    return formatText("%.1f KNOTS", static_cast<double>(knots));
}
