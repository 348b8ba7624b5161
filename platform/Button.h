// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <string>

namespace platform {

class Button {
public:
    virtual ~Button() = default;
    virtual void setTitle(const std::string& title) = 0;
    virtual std::string title() const = 0;
    // A disabled button shows so and cannot be pressed.
    virtual void setEnabled(bool enabled) = 0;
};

}  // namespace platform
