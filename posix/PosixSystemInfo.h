// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include "platform/Workspace.h"

namespace platform::posix {

// Machine facts from sysconf and the processor's feature bits. There is no packed
// operating-system version here.
class PosixSystemInfo : public platform::SystemInfo {
public:
    std::optional<std::uint64_t> physicalMemoryBytes() const override;
    // SSE2 on x86, Advanced SIMD on ARM, AltiVec on POWER.
};

}  // namespace platform::posix
