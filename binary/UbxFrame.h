// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace binary {

// The 8-bit Fletcher checksum of UBX frames, over class, id, length and payload.
struct UbxChecksum {
    std::uint8_t a = 0;
    std::uint8_t b = 0;
};

constexpr UbxChecksum ubxChecksum(std::span<const std::uint8_t> bytes)
{
    UbxChecksum sum;
    for (const std::uint8_t byte : bytes) {
        sum.a = static_cast<std::uint8_t>(sum.a + byte);
        sum.b = static_cast<std::uint8_t>(sum.b + sum.a);
    }
    return sum;
}

// A whole UBX frame around a payload: sync, class, id, little-endian length, payload,
// checksum. Payloads longer than 65,535 bytes cannot be framed and give an empty vector.
std::vector<std::uint8_t> ubxFrame(std::uint8_t messageClass, std::uint8_t messageId,
                                   std::span<const std::uint8_t> payload);

}  // namespace binary
