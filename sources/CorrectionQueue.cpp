// SPDX-License-Identifier: BSD-2-Clause
#include "sources/CorrectionQueue.h"

void CorrectionQueue::push(std::vector<std::uint8_t> frame)
{
    std::lock_guard lock(m_mutex);
    m_bytes += frame.size();
    m_frames.push_back(std::move(frame));
    // The newest frame always stays, even one larger than the bound.
    while (m_bytes > m_maxBytes && m_frames.size() > 1) {
        m_bytes -= m_frames.front().size();
        m_frames.pop_front();
        ++m_dropped;
    }
}

std::vector<std::vector<std::uint8_t>> CorrectionQueue::takeAll()
{
    std::lock_guard lock(m_mutex);
    std::vector<std::vector<std::uint8_t>> frames(std::make_move_iterator(m_frames.begin()),
                                                  std::make_move_iterator(m_frames.end()));
    m_frames.clear();
    m_bytes = 0;
    return frames;
}

std::uint64_t CorrectionQueue::framesDropped() const
{
    std::lock_guard lock(m_mutex);
    return m_dropped;
}
