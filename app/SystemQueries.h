// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace platform {
class TextField;
}

// Questions about the machine, the screen and a control, answered from
// platform::services(). Class-level operations only; main thread only. Where a service is
// missing the answer is the "not known" one given below.
class SystemQueries {
public:
    SystemQueries() = delete;

    // True when the machine has less than 256 MiB of physical memory; false when unknown.
    static bool hasRAM();
    // True when the main screen is smaller than 1024 x 768 points, and when there is no
    // screen at all (no screen falls short of that too).
    static bool hasScreen();
    // Horizontal dots per inch of the main screen, truncated; 72 when it is not reported.
    static std::uint32_t screenDPI();
    // A bold system font of the control's height less 8 points, at least 1 point.
    static void sizeTextforControl(platform::TextField* control);
    // Changes the process's current directory to the file's folder and opens the file name
    // there. Nothing (and no change) when the path has no folder or no file name; the
    // directory stays changed when only the open fails. The caller closes the stream.
    static std::FILE* fopen(const std::string& path, const std::string& mode);
    // Height of title-bar controls in points; this platform does not supply one: 0.
    static std::uint32_t titleBarControlsHeight();
};
