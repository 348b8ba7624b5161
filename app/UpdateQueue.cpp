// SPDX-License-Identifier: BSD-2-Clause
#include "app/UpdateQueue.h"

#include <algorithm>
#include <chrono>

std::size_t UpdateQueue::push(ReaderUpdate update)
{
    const bool isLine = update.kind == ReaderUpdate::Kind::Line;
    std::unique_lock lock(m_mutex);
    if (m_updates.size() >= m_limit && isLine && !m_mainThreadStuck && !m_closed) {
        // A burst faster than the main thread: give it a moment to catch up, so a flood from
        // a pseudo-terminal loses nothing. Only a main thread that stays stuck costs updates,
        // and then the reader reads on without waiting again until it has drained.
        m_mainThreadStuck = !m_space.wait_for(lock, std::chrono::duration<double>(m_fullWaitSeconds),
                                              [&] { return m_updates.size() < m_limit || m_closed; });
    }
    if (m_updates.size() >= m_limit) {
        // Whole line updates go, oldest first; events are never dropped.
        const auto oldest = std::find_if(m_updates.begin(), m_updates.end(), [](const ReaderUpdate& u) {
            return u.kind == ReaderUpdate::Kind::Line;
        });
        if (oldest != m_updates.end()) {
            m_updates.erase(oldest);
            m_dropped.fetch_add(1);
        }
    }
    m_updates.push_back(std::move(update));
    return m_updates.size();
}

bool UpdateQueue::needsDrain()
{
    std::lock_guard lock(m_mutex);
    if (m_drainPending || m_updates.empty()) return false;
    m_drainPending = true;
    return true;
}

bool UpdateQueue::undrained()
{
    std::lock_guard lock(m_mutex);
    return !m_drainPending && !m_updates.empty();
}

std::deque<ReaderUpdate> UpdateQueue::takeAll()
{
    std::deque<ReaderUpdate> updates;
    {
        std::lock_guard lock(m_mutex);
        updates.swap(m_updates);
        m_drainPending = false;
        m_mainThreadStuck = false;
    }
    m_space.notify_all();
    return updates;
}

void UpdateQueue::close()
{
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
    }
    m_space.notify_all();
}
