// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "platform/Workspace.h"

namespace platform::posix {

// Launching, opening and the list of removable disks on a freedesktop system. Programs are
// started detached (their own session, none of our descriptors).
class PosixWorkspace : public platform::Workspace {
public:
    // The mount table of this process, the current user, and xdg-open.
    PosixWorkspace();
    // For tests: another mount table, user name and opener program.
    PosixWorkspace(std::filesystem::path mountInfo, std::string user, std::string opener);

    // access(X_OK): true for executable files and for folders that may be entered.
    bool isExecutableFileAtPath(const std::string& path) const override;
    // A folder starts its AppRun when it has an executable one, else the opener gets it; an
    // executable file is run directly. False for anything else or when nothing started.
    bool launchApplication(const std::string& path) override;
    // Mount points under /media/<user>/, /media/ and /run/media/<user>/, in mount order.
    std::vector<std::string> mountedRemovableMedia() const override;
    // Hands the address to the opener.
    bool openURL(const std::string& url) override;

    // The login name of the current user, or "" when unknown.
    static std::string currentUser();

private:
    std::filesystem::path m_mountInfo;
    std::string m_user;
    std::string m_opener;
};

}  // namespace platform::posix
