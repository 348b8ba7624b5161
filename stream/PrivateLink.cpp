// SPDX-License-Identifier: BSD-2-Clause
#include "stream/PrivateLink.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Alert.h"

int PrivateLink::make(const std::string& link, const std::string& target, std::string& name, std::string& why)
{
    // The link's folder and the one above it ($XDG_RUNTIME_DIR/gpsdesk and $XDG_RUNTIME_DIR)
    // must be the user's own, closed to everyone else and no links: in a folder another user
    // can write, the link could be swapped for one to anything. Both are held open while
    // checked, so the checked folder is the one the link goes in.
    const std::size_t slash = link.rfind('/');
    if (link.empty() || link[0] != '/' || slash == 0 || slash + 1 >= link.size()) {
        why = Alert::localizedStringWithKey("ShareLinkNotAbsolute", {link});
        return -1;
    }
    const std::string folder = link.substr(0, slash);
    const std::size_t parentSlash = folder.rfind('/');
    const std::string parent = parentSlash == 0 ? std::string("/") : folder.substr(0, parentSlash);
    const std::string folderName = folder.substr(parentSlash + 1);
    const auto systemReason = [&](const std::string& path) {
        why = path + ": " + std::strerror(errno);
        return false;
    };
    const auto safe = [&](int fd, const std::string& path) {
        struct stat info;
        if (::fstat(fd, &info) != 0) return systemReason(path);
        if (info.st_uid != ::geteuid()) {
            why = Alert::localizedStringWithKey("ShareLinkNotOwn", {path});
            return false;
        }
        if ((info.st_mode & 077) != 0) {
            char mode[8];
            std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
            why = Alert::localizedStringWithKey("ShareLinkOpenFolder", {path, mode});
            return false;
        }
        return true;
    };
    const auto openFolder = [&](int at, const std::string& name, const std::string& path) {
        const int fd = ::openat(at, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0 && (errno == ELOOP || errno == ENOTDIR)) {
            why = Alert::localizedStringWithKey("ShareLinkNotFolder", {path});
            return -1;
        }
        if (fd < 0) systemReason(path);
        return fd;
    };
    const int parentFd = openFolder(AT_FDCWD, parent, parent);
    if (parentFd < 0) return -1;
    if (!safe(parentFd, parent)) {
        ::close(parentFd);
        return -1;
    }
    if (::mkdirat(parentFd, folderName.c_str(), 0700) != 0 && errno != EEXIST) {
        ::close(parentFd);
        systemReason(folder);
        return -1;
    }
    const int folderFd = openFolder(parentFd, folderName, folder);
    ::close(parentFd);
    if (folderFd < 0) return -1;
    if (!safe(folderFd, folder)) {
        ::close(folderFd);
        return -1;
    }
    name = link.substr(slash + 1);
    struct stat info;
    // Replace a link left by an earlier run, never a file.
    if (::fstatat(folderFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode))
        ::unlinkat(folderFd, name.c_str(), 0);
    if (::symlinkat(target.c_str(), folderFd, name.c_str()) != 0) {
        ::close(folderFd);
        systemReason(link);
        return -1;
    }
    return folderFd;
}
