// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <atomic>

// A cancel signal a waiting network call can poll together with its socket: once signal()
// is called (from any thread), every wait that includes fd() returns at once, for the
// object's lifetime. Owned by whoever owns the waits; must outlive them.
class Waker {
public:
    Waker();
    ~Waker();
    Waker(const Waker&) = delete;
    Waker& operator=(const Waker&) = delete;

    void signal();
    bool signalled() const { return m_signalled.load(); }
    // Readable once signalled; -1 if the pipe could not be made (waits then only see
    // signalled() between their slices).
    int fd() const { return m_read; }

private:
    std::atomic<bool> m_signalled{false};
    int m_read = -1;
    int m_write = -1;
};
