// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>

#include "app/ReaderUpdate.h"

// The one hand-off from the reader thread to the main thread: bounded, drained whole, in
// order. A full queue gives the main thread a moment to catch up, then drops its oldest line
// update (counted); events are never dropped. The reader never waits for a drain beyond that
// moment. Thread-safe.
class UpdateQueue {
public:
    UpdateQueue(std::size_t limit, double fullWaitSeconds) : m_limit(limit), m_fullWaitSeconds(fullWaitSeconds) {}

    // Reader thread. The count waiting after the push.
    std::size_t push(ReaderUpdate update);
    // Reader thread: true when something waits and no drain has been asked for yet; the
    // caller then asks for one (the queue notes it as asked).
    bool needsDrain();
    // True when something waits and no drain has been asked for.
    bool undrained();
    // Main thread: everything waiting, oldest first; a new drain may be asked for after it.
    std::deque<ReaderUpdate> takeAll();
    // Lets a push waiting for room go at once, and every later one. Any thread.
    void close();

    std::uint64_t dropped() const { return m_dropped.load(); }
    std::size_t limit() const { return m_limit; }

private:
    const std::size_t m_limit;
    const double m_fullWaitSeconds;
    std::mutex m_mutex;
    std::condition_variable m_space;  // a drain made room
    std::deque<ReaderUpdate> m_updates;
    bool m_drainPending = false;
    bool m_mainThreadStuck = false;  // a full queue waited in vain since the last drain
    bool m_closed = false;
    std::atomic<std::uint64_t> m_dropped{0};
};
