// SPDX-License-Identifier: BSD-2-Clause
#include "sim/WakePipe.h"

#include <fcntl.h>
#include <unistd.h>

namespace sim {

bool WakePipe::open()
{
    int ends[2];
    if (::pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0) return false;
    m_read = ends[0];
    m_write = ends[1];
    return true;
}

void WakePipe::close()
{
    if (m_read >= 0) ::close(m_read);
    if (m_write >= 0) ::close(m_write);
    m_read = m_write = -1;
}

void WakePipe::wake() const
{
    if (m_write < 0) return;
    const char byte = 1;
    (void)!::write(m_write, &byte, 1);
}

void WakePipe::drain() const
{
    char drain[64];
    while (::read(m_read, drain, sizeof drain) > 0) {
    }
}

}  // namespace sim
