// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <optional>
#include <string>

namespace platform {

// Turns the number value of a read-out into its text. "No value" gives no text.
class Formatter {
public:
    virtual ~Formatter() = default;
    virtual std::optional<std::string> format(std::optional<float> value) const = 0;
    // Text back into a value; the read-outs are display-only, so formatters refuse.
    virtual bool getObjectValue(std::optional<float>& value, const std::string& text,
                                std::string* error) const
    {
        (void)value;
        (void)text;
        (void)error;
        return false;
    }
};

}  // namespace platform
