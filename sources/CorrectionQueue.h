// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

// Hands checked correction frames from the NTRIP client's thread to the thread that owns the
// receiver's port, which writes each frame whole in one write between its own writes (a
// configuration command never lands inside a frame). Bounded: when the port thread falls
// behind by more than maxBytes, the oldest frames go (stale corrections are worthless to the
// receiver anyway) and are counted. Any thread.
class CorrectionQueue {
public:
    explicit CorrectionQueue(std::size_t maxBytes = 64 * 1024) : m_maxBytes(maxBytes) {}

    void push(std::vector<std::uint8_t> frame);
    // Every queued frame, oldest first; the queue is then empty.
    std::vector<std::vector<std::uint8_t>> takeAll();
    std::uint64_t framesDropped() const;

private:
    const std::size_t m_maxBytes;
    mutable std::mutex m_mutex;
    std::deque<std::vector<std::uint8_t>> m_frames;
    std::size_t m_bytes = 0;
    std::uint64_t m_dropped = 0;
};
