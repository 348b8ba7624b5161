// SPDX-License-Identifier: BSD-2-Clause
#pragma once

namespace platform {

// A menu command. The toolkit asks the item's validator before it shows the menu and sets
// the item enabled accordingly.
class MenuItem {
public:
    virtual ~MenuItem() = default;
    virtual void setEnabled(bool enabled) = 0;
    virtual bool isEnabled() const = 0;
};

}  // namespace platform
