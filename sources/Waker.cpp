// SPDX-License-Identifier: BSD-2-Clause
#include "sources/Waker.h"

#include <fcntl.h>
#include <unistd.h>

Waker::Waker()
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
        m_read = fds[0];
        m_write = fds[1];
    }
}

Waker::~Waker()
{
    if (m_read >= 0) ::close(m_read);
    if (m_write >= 0) ::close(m_write);
}

void Waker::signal()
{
    if (m_signalled.exchange(true)) return;
    if (m_write >= 0) {
        const char byte = 1;
        // Non-blocking and never drained: one byte keeps the read end readable for good.
        [[maybe_unused]] const auto written = ::write(m_write, &byte, 1);
    }
}
