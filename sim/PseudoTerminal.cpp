// SPDX-License-Identifier: BSD-2-Clause
#include "sim/PseudoTerminal.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

namespace {

speed_t speedOf(std::uint32_t rate)
{
    return rate == 1200 ? B1200 : rate == 2400 ? B2400 : rate == 9600 ? B9600
         : rate == 19200 ? B19200 : rate == 38400 ? B38400
         : rate == 57600 ? B57600 : rate == 115200 ? B115200 : rate == 230400 ? B230400
         : rate == 460800 ? B460800 : rate == 921600 ? B921600 : B4800;
}

bool makeRaw(int fd, std::uint32_t rate)
{
    termios settings;
    if (::tcgetattr(fd, &settings) != 0) return false;
    ::cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    const speed_t speed = speedOf(rate);
    ::cfsetispeed(&settings, speed);
    ::cfsetospeed(&settings, speed);
    return ::tcsetattr(fd, TCSANOW, &settings) == 0;
}

void closeIfOpen(int& fd)
{
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

PseudoTerminal::~PseudoTerminal()
{
    close();
}

bool PseudoTerminal::fail(const std::string& what)
{
    // The reason before the descriptors close: close() may change errno.
    m_error = what + ": " + std::strerror(errno);
    closeIfOpen(m_master);
    closeIfOpen(m_slave);
    m_devicePath.clear();
    return false;
}

bool PseudoTerminal::open(std::uint32_t rate)
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0) return fail("posix_openpt");
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) return fail("unlockpt");
    char name[128];
    if (::ptsname_r(m_master, name, sizeof name) != 0) return fail("ptsname");
    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0) return fail(std::string("open ") + name);
    // Raw on both sides before any byte moves: no echo of the application's commands, no
    // CR/NL translation of the output.
    if (!makeRaw(m_slave, rate) || !makeRaw(m_master, rate)) return fail("tcsetattr");
    if (::fcntl(m_master, F_SETFL, O_NONBLOCK) != 0) return fail("fcntl");
    m_devicePath = name;
    m_error.clear();
    return true;
}

bool PseudoTerminal::link(const std::string& path)
{
    struct stat info;
    // Replace a stale link, never a file.
    if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) ::unlink(path.c_str());
    if (::symlink(m_devicePath.c_str(), path.c_str()) != 0) {
        m_error = "symlink " + path + ": " + std::strerror(errno);
        return false;
    }
    m_linkPath = path;
    return true;
}

bool PseudoTerminal::close()
{
    const bool wasOpen = m_master >= 0;
    closeIfOpen(m_master);
    closeIfOpen(m_slave);
    if (wasOpen && !m_linkPath.empty()) ::unlink(m_linkPath.c_str());
    m_linkPath.clear();
    return wasOpen;
}

bool PseudoTerminal::speedMatches(std::uint32_t rate) const
{
    if (m_slave < 0) return true;
    termios settings;
    if (::tcgetattr(m_slave, &settings) != 0) return true;
    return ::cfgetospeed(&settings) == speedOf(rate);
}

}  // namespace sim
