// SPDX-License-Identifier: BSD-2-Clause
#include "posix/PosixClock.h"

#include <chrono>

namespace platform::posix {

double PosixClock::now() const
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace platform::posix
