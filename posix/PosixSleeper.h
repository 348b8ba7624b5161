// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <condition_variable>
#include <mutex>

#include "platform/Application.h"

namespace platform::posix {

// An interruptible sleep for the reader thread: wake() ends every current sleep at once and
// makes every later one return false without sleeping, so quitting never waits on a sleep.
class PosixSleeper : public platform::Sleeper {
public:
    bool sleepFor(double seconds) override;
    void wake() override;

private:
    std::mutex m_mutex;
    std::condition_variable m_woken;
    bool m_awake = false;
};

}  // namespace platform::posix
