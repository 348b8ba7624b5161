// SPDX-License-Identifier: BSD-2-Clause
#include "app/CourseFormatter.h"

#include <cmath>

#include "base/FormatText.h"

void CourseFormatter::setMagnetic(bool magnetic)
{
    m_magnetic = magnetic;
    if (!magnetic) setVariation(0.0f);
}

std::optional<std::string> CourseFormatter::format(std::optional<float> value) const
{
    if (!value) return std::string();
    double course = static_cast<double>(*value) - static_cast<double>(m_variation);
    // One step each way only: 359.x stays, 360 becomes 0, 725 becomes 365.
    if (course > 359.0) course -= 360.0;
    if (course < 0.0) course += 360.0;
    // NaN, infinities and values beyond an int have no whole degrees to show.
    if (!(course > -2147483649.0 && course < 2147483648.0)) return std::nullopt;
    const int degrees = static_cast<int>(course);
    const bool magnetic = m_magnetic || std::fabs(m_variation) >= 0.01f;
    return formatText("%d%s", degrees, kDegreeMark) + (magnetic ? " MAG" : " TRUE");
}
