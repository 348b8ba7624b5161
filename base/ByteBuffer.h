// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <vector>

// One line as read from the serial port: the bytes exactly as received, line feed included,
// plus the NUL byte the reader appends. Owned by whoever holds it; "nothing" is
// std::nullopt around it.
using ByteBuffer = std::vector<std::uint8_t>;
