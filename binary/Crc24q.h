// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

// CRC-24Q, the check of RTCM 3 frames (polynomial 0x1864CFB, initial value 0, no final XOR),
// over the preamble, the length and the message.
namespace binary {

namespace detail {
constexpr std::array<std::uint32_t, 256> makeCrc24qTable()
{
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t crc = i << 16;
        for (int bit = 0; bit < 8; ++bit) {
            crc <<= 1;
            if (crc & 0x1000000u) crc ^= 0x1864CFBu;
        }
        table[i] = crc & 0xFFFFFFu;
    }
    return table;
}
inline constexpr std::array<std::uint32_t, 256> kCrc24qTable = makeCrc24qTable();
}  // namespace detail

constexpr std::uint32_t crc24q(std::span<const std::uint8_t> bytes)
{
    std::uint32_t crc = 0;
    for (const std::uint8_t byte : bytes)
        crc = ((crc << 8) & 0xFFFFFFu) ^ detail::kCrc24qTable[((crc >> 16) ^ byte) & 0xFFu];
    return crc;
}

}  // namespace binary
