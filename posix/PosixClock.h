// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include "platform/Application.h"

namespace platform::posix {

// Seconds on the monotonic clock: unaffected by changes to the wall clock.
class PosixClock : public platform::Clock {
public:
    double now() const override;
};

}  // namespace platform::posix
