// SPDX-License-Identifier: BSD-2-Clause
#include "posix/PosixSleeper.h"

#include <chrono>

namespace platform::posix {

bool PosixSleeper::sleepFor(double seconds)
{
    std::unique_lock lock(m_mutex);
    if (m_awake) return false;
    if (!(seconds > 0.0)) return true;
    // Longer than any sleep the reader asks for, and safe from overflow in the conversion.
    constexpr double kLongest = 365.0 * 24 * 3600;
    const auto duration = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(seconds < kLongest ? seconds : kLongest));
    const auto deadline = std::chrono::steady_clock::now() + duration;
    return !m_woken.wait_until(lock, deadline, [this] { return m_awake; });
}

void PosixSleeper::wake()
{
    {
        std::lock_guard lock(m_mutex);
        m_awake = true;
    }
    m_woken.notify_all();
}

}  // namespace platform::posix
