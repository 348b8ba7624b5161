// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace binary {

// Big-endian bit fields, as RTCM 3 packs them. Reading past the end sets failed() and gives 0,
// so a decoder checks once at the end instead of before every field.
class BitReader {
public:
    explicit BitReader(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

    std::uint64_t bits(unsigned count)
    {
        if (count > 64 || m_position + count > m_bytes.size() * 8) {
            m_failed = true;
            m_position = m_bytes.size() * 8;
            return 0;
        }
        std::uint64_t value = 0;
        for (unsigned i = 0; i < count; ++i, ++m_position)
            value = value << 1 | ((m_bytes[m_position / 8] >> (7 - m_position % 8)) & 1u);
        return value;
    }
    std::int64_t signedBits(unsigned count)
    {
        const std::uint64_t value = bits(count);
        if (count == 0 || count >= 64) return static_cast<std::int64_t>(value);
        const std::uint64_t sign = std::uint64_t{1} << (count - 1);
        return static_cast<std::int64_t>(value ^ sign) - static_cast<std::int64_t>(sign);
    }
    void skip(unsigned count) { bits(count > 64 ? 64 : count); }
    bool failed() const { return m_failed; }
    std::size_t position() const { return m_position; }

private:
    std::span<const std::uint8_t> m_bytes;
    std::size_t m_position = 0;
    bool m_failed = false;
};

}  // namespace binary
