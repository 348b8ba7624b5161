// SPDX-License-Identifier: BSD-2-Clause
#include "fakes/PseudoTerminal.h"

#include <cerrno>
#include <cstdlib>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace testpty {

PseudoTerminal::PseudoTerminal()
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) return;
    char name[128];
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0
        || ::ptsname_r(master, name, sizeof name) != 0) {
        ::close(master);
        return;
    }
    // Raw master: the bytes the test writes reach the slave unchanged.
    termios settings;
    if (::tcgetattr(master, &settings) == 0) {
        ::cfmakeraw(&settings);
        ::tcsetattr(master, TCSANOW, &settings);
    }
    m_master = master;
    m_slavePath = name;
}

PseudoTerminal::~PseudoTerminal()
{
    closeMaster();
    if (m_heldSlave >= 0) ::close(m_heldSlave);
}

int PseudoTerminal::holdSlave()
{
    if (m_heldSlave < 0) m_heldSlave = ::open(m_slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    return m_heldSlave;
}

bool PseudoTerminal::write(const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string PseudoTerminal::readAll(std::chrono::milliseconds quietFor)
{
    std::string out;
    for (;;) {
        pollfd entry{m_master, POLLIN, 0};
        if (::poll(&entry, 1, static_cast<int>(quietFor.count())) <= 0) break;
        if (!(entry.revents & POLLIN)) break;
        char buffer[4096];
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0) break;
        out.append(buffer, static_cast<std::size_t>(n));
    }
    return out;
}

void PseudoTerminal::closeMaster()
{
    if (m_master >= 0) ::close(m_master);
    m_master = -1;
}

}  // namespace testpty
