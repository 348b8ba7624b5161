// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <optional>
#include <string>

#include "platform/Drawing.h"
#include "platform/Formatter.h"
#include "platform/Geometry.h"

namespace platform {

// A read-only text field. It shows either a text or a number through its formatter; a
// number with no value (or a formatter without text for it) shows nothing. Main thread only.
class TextField {
public:
    virtual ~TextField() = default;

    virtual void setStringValue(const std::string& text) = 0;
    virtual void setObjectValue(std::optional<float> value) = 0;
    // Not owned; must outlive the field or be reset to nullptr.
    virtual void setFormatter(const Formatter* formatter) = 0;
    virtual void setFont(const Font& font) = 0;
    virtual Rect bounds() const = 0;
    // What the field shows now.
    virtual std::string stringValue() const = 0;
    // Shows the value greyed while it is old (the receiver stopped refreshing it).
    virtual void setStale(bool stale) = 0;
};

}  // namespace platform
