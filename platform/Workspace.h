// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Geometry.h"

namespace platform {

class Workspace {
public:
    virtual ~Workspace() = default;
    virtual bool isExecutableFileAtPath(const std::string& path) const = 0;
    // Starts the application (detached, inheriting no descriptor of ours).
    virtual bool launchApplication(const std::string& path) = 0;
    // Mount paths of the removable disks, in mount order.
    virtual std::vector<std::string> mountedRemovableMedia() const = 0;
    // Opens a web address (or a local file URL) in the user's browser.
    virtual bool openURL(const std::string& url) = 0;
};

class Screen {
public:
    virtual ~Screen() = default;
    // Size of the main screen in points; nothing when there is no screen.
    virtual std::optional<Size> mainScreenSize() const = 0;
    // Horizontal dots per inch; nothing when the screen does not report it.
    virtual std::optional<float> horizontalDPI() const = 0;
};

class SystemInfo {
public:
    virtual ~SystemInfo() = default;
    virtual std::optional<std::uint64_t> physicalMemoryBytes() const = 0;
};

}  // namespace platform
