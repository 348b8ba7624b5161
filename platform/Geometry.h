// SPDX-License-Identifier: BSD-2-Clause
#pragma once

// Plain value types shared by the platform interfaces. Points, y growing upward.
namespace platform {

struct Point {
    float x = 0.0f;
    float y = 0.0f;
};

struct Size {
    float width = 0.0f;
    float height = 0.0f;
};

struct Rect {
    float x = 0.0f;
    float y = 0.0f;
    float width = 0.0f;
    float height = 0.0f;
};

}  // namespace platform
