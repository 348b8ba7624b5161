// SPDX-License-Identifier: BSD-2-Clause
#include "stream/OutputFile.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Alert.h"

namespace {

std::string systemReason(const std::string& path, int error)
{
    return path + ": " + std::strerror(error);
}

std::string refusalFor(const std::string& path, const struct stat& info)
{
    if (S_ISLNK(info.st_mode)) return Alert::localizedStringWithKey("FileIsALink", {path});
    if (!S_ISREG(info.st_mode)) return Alert::localizedStringWithKey("FileNotPlain", {path});
    return {};
}

}  // namespace

std::string OutputFile::refusal(const std::string& path)
{
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0) return {};
    return refusalFor(path, info);
}

int OutputFile::openForWriting(const std::string& path, std::string& error)
{
    // No O_TRUNC yet: what is there is cut only once it is known to be a plain file, and
    // O_NONBLOCK keeps a FIFO from holding the open until a reader comes.
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) {
        const int saved = errno;
        struct stat info;
        error = saved == ELOOP && ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)
                    ? refusalFor(path, info)
                    : systemReason(path, saved);
        errno = saved;
        return -1;
    }
    struct stat info;
    if (::fstat(fd, &info) != 0) {
        const int saved = errno;
        ::close(fd);
        error = systemReason(path, saved);
        errno = saved;
        return -1;
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        error = refusalFor(path, info);
        errno = EINVAL;
        return -1;
    }
    if (::ftruncate(fd, 0) != 0 || ::fcntl(fd, F_SETFL, 0) != 0) {
        const int saved = errno;
        ::close(fd);
        error = systemReason(path, saved);
        errno = saved;
        return -1;
    }
    return fd;
}

OutputFile::~OutputFile()
{
    if (m_fd >= 0) ::close(m_fd);
    if (!m_temporary.empty()) ::unlink(m_temporary.c_str());
}

bool OutputFile::beginReplacing(const std::string& path, std::string& error)
{
    error = refusal(path);
    if (!error.empty()) return false;
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".")
                               : slash == 0               ? std::string("/")
                                                          : path.substr(0, slash);
    // mkostemp creates the file itself (O_EXCL): nothing planted can stand in for it.
    std::string temporary = folder + "/.gpsdesk-XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        error = systemReason(path, errno);
        return false;
    }
    if (m_fd >= 0) ::close(m_fd);
    if (!m_temporary.empty()) ::unlink(m_temporary.c_str());
    m_fd = fd;
    m_path = path;
    m_temporary = temporary;
    return true;
}

bool OutputFile::commit(std::string& error)
{
    if (m_fd < 0) {
        error = systemReason(m_path, EBADF);
        return false;
    }
    // mkostemp makes the file 0600; the export is as readable as a recording.
    bool done = ::fchmod(m_fd, 0644) == 0 && ::fsync(m_fd) == 0;
    int saved = errno;
    if (::close(m_fd) != 0 && done) {
        done = false;
        saved = errno;
    }
    m_fd = -1;
    if (done && ::rename(m_temporary.c_str(), m_path.c_str()) != 0) {
        done = false;
        saved = errno;
    }
    if (!done) {
        error = systemReason(m_path, saved);
        ::unlink(m_temporary.c_str());
    }
    m_temporary.clear();
    return done;
}
