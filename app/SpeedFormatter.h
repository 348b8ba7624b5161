// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/Formatter.h"

// Speed over ground (given in knots) in the user's unit: "11.5 MPH", "18.5 KM/H", "10.0 KNOTS".
class SpeedFormatter : public platform::Formatter {
public:
    SpeedFormatter() = default;

    // Units index: 0 miles per hour, 1 kilometres per hour, anything else knots.
    void setUnits(std::uint32_t units) { m_units = units; }

    // No value: the empty text.
    std::optional<std::string> format(std::optional<float> value) const override;

private:
    std::uint32_t m_units = 0;
};
