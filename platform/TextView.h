// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstddef>
#include <string>

#include "platform/Drawing.h"

namespace platform {

// A scrolling view of styled text: every appended run keeps its own colour. Text is always
// plain (never markup). Lengths count characters. Main thread only.
class TextView {
public:
    virtual ~TextView() = default;

    virtual std::size_t length() const = 0;
    virtual std::string string() const = 0;
    // Appends plain text in the colour at the end.
    virtual void appendText(const std::string& text, Color color) = 0;
    // Removes all text.
    virtual void clear() = 0;
    // Number of lines (a text ending in a line feed has an empty last line not counted).
    virtual std::size_t lineCount() const = 0;
    // Drops the oldest lines, keeping the colours of the rest.
    virtual void removeFirstLines(std::size_t count) = 0;
    virtual void scrollToEnd() = 0;
    virtual void setFont(const Font& font) = 0;
    virtual void setNeedsDisplay() = 0;
};

}  // namespace platform
