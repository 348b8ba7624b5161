// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/Formatter.h"

// Latitude or longitude in degrees and decimal minutes with a hemisphere letter, e.g.
// "37º46.49'N" or "122º25.16'W". Values are signed decimal degrees (north and east positive).
class PositionFormatter : public platform::Formatter {
public:
    // orientation 0: latitude (N/S, two-digit degrees); any other: longitude (E/W, three
    // digits). style 1 is degrees and decimal minutes, the only style; others give no text.
    PositionFormatter(int orientation, int style);

    void setStyle(int style) { m_style = style; }
    int style() const { return m_style; }
    // Two leading spaces on a latitude, so it lines up with a longitude. No effect on those.
    void setAlign(bool align) { m_align = align; }
    bool align() const { return m_align; }

    // No text for a style other than 1 or a value that is not a finite number.
    std::optional<std::string> formatPosition(float value) const;
    // No value: the empty text.
    std::optional<std::string> format(std::optional<float> value) const override;

private:
    std::int32_t m_orientation = 0;
    std::int32_t m_style = 0;
    bool m_align = false;
};
