// SPDX-License-Identifier: BSD-2-Clause
#pragma once

namespace sim {

// Wakes a thread that waits in poll(): wake() from any thread makes readFd() readable until
// the waiting thread drains it. Open and close while no other thread uses it.
class WakePipe {
public:
    WakePipe() = default;
    ~WakePipe() { close(); }
    WakePipe(const WakePipe&) = delete;
    WakePipe& operator=(const WakePipe&) = delete;

    bool open();  // false with errno set
    void close();
    void wake() const;   // a no-op when closed
    void drain() const;
    int readFd() const { return m_read; }

private:
    int m_read = -1;
    int m_write = -1;
};

}  // namespace sim
