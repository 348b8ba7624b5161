// SPDX-License-Identifier: BSD-2-Clause
#include "posix/PosixSystemInfo.h"

#include <limits>

#include <unistd.h>

#if defined(__linux__) && (defined(__aarch64__) || defined(__arm__) || defined(__powerpc__))
#include <sys/auxv.h>
#endif

namespace platform::posix {

std::optional<std::uint64_t> PosixSystemInfo::physicalMemoryBytes() const
{
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) return std::nullopt;
    const auto count = static_cast<std::uint64_t>(pages);
    const auto size = static_cast<std::uint64_t>(pageSize);
    if (count > std::numeric_limits<std::uint64_t>::max() / size)
        return std::numeric_limits<std::uint64_t>::max();
    return count * size;
}

}  // namespace platform::posix
