// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace platform::posix {

// Starting helper programs (speech, browser, the navigation application) that must outlive
// us and must not hold any of our descriptors (a serial port kept open by a child would stay
// locked after we quit).
class DetachedProcess {
public:
    DetachedProcess() = delete;

    // Runs argv[0] (a path, or a name looked up on PATH) with the arguments in a new session,
    // with standard input and output on /dev/null and no other descriptor of ours. Returns
    // once the program has been executed (not when it ends); false when it could not be.
    // Nobody waits for it later: it is not our child.
    static bool start(const std::vector<std::string>& argv);

    // The full path of an executable file of that name on PATH, or nothing.
    static std::optional<std::string> findOnPath(const std::string& name);
};

}  // namespace platform::posix
