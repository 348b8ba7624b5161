// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include "platform/Geometry.h"

namespace platform {

class WindowDelegate {
public:
    virtual ~WindowDelegate() = default;
    virtual void windowWillClose() {}
    // The size the window should take when the user drags it to the proposed size.
    virtual Size windowWillResize(const Size& proposed) { return proposed; }
    virtual void windowDidResize() {}
};

class Window {
public:
    virtual ~Window() = default;
    virtual void center() = 0;
    virtual void show() = 0;
    virtual void close() = 0;
    virtual Size minSize() const = 0;
    virtual Size size() const = 0;
    // Not owned; nullptr for none.
    virtual void setDelegate(WindowDelegate* delegate) = 0;
};

}  // namespace platform
