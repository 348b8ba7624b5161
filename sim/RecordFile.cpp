// SPDX-License-Identifier: BSD-2-Clause
#include "sim/RecordFile.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sim {

bool RecordFile::open(const std::string& path)
{
    const auto fail = [&](const std::string& what) {
        m_error = what + ": " + std::strerror(errno);
        close();
        return false;
    };
    close();
    // Non-blocking so that a FIFO at the name cannot hang the open.
    m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    if (m_fd < 0) return fail("open " + path);
    struct stat info;
    if (::fstat(m_fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        errno = EINVAL;
        return fail(path + " is not a plain file; open");
    }
    if (::ftruncate(m_fd, 0) != 0 || ::fcntl(m_fd, F_SETFL, 0) != 0) return fail("open " + path);
    m_error.clear();
    return true;
}

void RecordFile::write(const std::uint8_t* bytes, std::size_t count)
{
    if (m_fd < 0) return;
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(m_fd, bytes + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
}

void RecordFile::close()
{
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

}  // namespace sim
