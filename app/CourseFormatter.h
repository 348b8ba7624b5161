// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <optional>
#include <string>

#include "platform/Formatter.h"

// Course over ground (degrees from true north) in whole degrees, marked " TRUE" or " MAG":
// "355º TRUE".
class CourseFormatter : public platform::Formatter {
public:
    CourseFormatter() = default;

    // Degrees subtracted from every course; a magnitude of 0.01 or more marks it magnetic.
    void setVariation(float variation) { m_variation = variation; }
    float variation() const { return m_variation; }
    // Turning the flag off also clears the variation.
    void setMagnetic(bool magnetic);

    // No value: the empty text. No text for a course that is not a finite number.
    std::optional<std::string> format(std::optional<float> value) const override;

private:
    float m_variation = 0.0f;
    bool m_magnetic = false;
};
