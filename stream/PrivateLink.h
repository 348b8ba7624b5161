// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <string>

// A symbolic link in a folder of the user's own (created when missing), for the share's
// pseudo-terminal.
class PrivateLink {
public:
    PrivateLink() = delete;

    // Makes link (an absolute path) point at target. The link's folder and the one above it
    // ($XDG_RUNTIME_DIR/gpsdesk and $XDG_RUNTIME_DIR) must be the user's own, closed to
    // everyone else and no links. The folder, held open (the caller closes it), with the
    // link's name in it; -1 with the reason in why.
    static int make(const std::string& link, const std::string& target, std::string& name, std::string& why);
};
