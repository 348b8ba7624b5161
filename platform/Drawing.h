// SPDX-License-Identifier: BSD-2-Clause
#pragma once

namespace platform {

// The toolkit's named colours. Pure colours: green is (0, 1, 0), yellow (1, 1, 0).
enum class Color {
    Black,
    White,
    Red,
    Green,
    Yellow,
    ControlShadow,  // the grey of a control's shadow edge
    Blue,
    Orange,
    Purple,
    Cyan,
    Magenta,
    Brown,
    LightGray,
};

enum class FontKind {
    Default,     // the toolkit's default text attributes (12 points)
    System,
    BoldSystem,
    Label,
};

struct Font {
    FontKind kind = FontKind::Default;
    float pointSize = 12.0f;

    bool operator==(const Font&) const = default;
};

}  // namespace platform
