// SPDX-License-Identifier: BSD-2-Clause
#include "posix/PosixWorkspace.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <utility>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "posix/DetachedProcess.h"

namespace platform::posix {

namespace {

// The mount table escapes space, tab, newline and backslash as \ooo.
std::string unescapeMountPath(const std::string& field)
{
    std::string path;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() &&
            std::all_of(field.begin() + static_cast<long>(i) + 1,
                        field.begin() + static_cast<long>(i) + 4,
                        [](char c) { return c >= '0' && c <= '7'; })) {
            path += static_cast<char>(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) |
                                      (field[i + 3] - '0'));
            i += 3;
        } else {
            path += field[i];
        }
    }
    return path;
}

// An argument for a program that reads options: a relative path that starts with '-' would
// be taken for one.
std::string asOperand(const std::string& path)
{
    return path.front() == '-' ? "./" + path : path;
}

}  // namespace

PosixWorkspace::PosixWorkspace() : PosixWorkspace("/proc/self/mountinfo", currentUser(), "xdg-open") {}

PosixWorkspace::PosixWorkspace(std::filesystem::path mountInfo, std::string user, std::string opener)
    : m_mountInfo(std::move(mountInfo)), m_user(std::move(user)), m_opener(std::move(opener))
{
}

std::string PosixWorkspace::currentUser()
{
    for (const char* name : {"USER", "LOGNAME"})
        if (const char* user = std::getenv(name); user && *user) return user;
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_name)
        return found->pw_name;
    return {};
}

bool PosixWorkspace::isExecutableFileAtPath(const std::string& path) const
{
    return !path.empty() && access(path.c_str(), X_OK) == 0;
}

bool PosixWorkspace::launchApplication(const std::string& path)
{
    if (path.empty()) return false;
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return false;
    if (S_ISDIR(info.st_mode)) {
        const std::string appRun = (std::filesystem::path(path) / "AppRun").string();
        struct stat runInfo {};
        if (stat(appRun.c_str(), &runInfo) == 0 && S_ISREG(runInfo.st_mode) &&
            access(appRun.c_str(), X_OK) == 0)
            return DetachedProcess::start({appRun});
        return DetachedProcess::start({m_opener, asOperand(path)});
    }
    if (S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0) {
        // A bare name would be looked up on PATH instead of run from here.
        const std::string program = path.find('/') == std::string::npos ? "./" + path : path;
        return DetachedProcess::start({program});
    }
    return false;
}

std::vector<std::string> PosixWorkspace::mountedRemovableMedia() const
{
    std::vector<std::string> prefixes;
    if (!m_user.empty()) prefixes.push_back("/media/" + m_user + "/");
    prefixes.push_back("/media/");
    if (!m_user.empty()) prefixes.push_back("/run/media/" + m_user + "/");
    const std::string userFolder = m_user.empty() ? std::string() : "/media/" + m_user;

    std::vector<std::string> media;
    std::ifstream table(m_mountInfo);
    std::string line;
    while (std::getline(table, line)) {
        // id parent major:minor root mount-point options ...
        std::istringstream fields(line);
        std::string id, parent, device, root, mountPoint;
        if (!(fields >> id >> parent >> device >> root >> mountPoint)) continue;
        const std::string path = unescapeMountPath(mountPoint);
        if (path == userFolder) continue;
        const bool removable = std::any_of(prefixes.begin(), prefixes.end(), [&](const std::string& p) {
            return path.size() > p.size() && path.compare(0, p.size(), p) == 0;
        });
        if (removable && std::find(media.begin(), media.end(), path) == media.end())
            media.push_back(path);
    }
    return media;
}

bool PosixWorkspace::openURL(const std::string& url)
{
    if (url.empty() || url.front() == '-') return false;
    return DetachedProcess::start({m_opener, url});
}

}  // namespace platform::posix
