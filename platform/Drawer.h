// SPDX-License-Identifier: BSD-2-Clause
#pragma once

namespace platform {

class DrawerDelegate {
public:
    virtual ~DrawerDelegate() = default;
    // The drawer has closed (by the user or by code).
    virtual void drawerDidClose() = 0;
};

// A panel that slides out of one edge of the main window.
class Drawer {
public:
    virtual ~Drawer() = default;
    virtual void open() = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Not owned; nullptr for none.
    virtual void setDelegate(DrawerDelegate* delegate) = 0;
};

}  // namespace platform
