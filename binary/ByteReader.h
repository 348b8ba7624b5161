// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace binary {

// Little-endian fields of a received payload. A read past the end gives 0: decoders check the
// length first, and a slip must not read outside the frame.
class ByteReader {
public:
    explicit ByteReader(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

    std::size_t size() const { return m_bytes.size(); }
    bool has(std::size_t offset, std::size_t count) const
    {
        return offset <= m_bytes.size() && count <= m_bytes.size() - offset;
    }
    std::uint8_t u1(std::size_t offset) const { return has(offset, 1) ? m_bytes[offset] : 0; }
    std::int8_t i1(std::size_t offset) const { return static_cast<std::int8_t>(u1(offset)); }
    std::uint16_t u2(std::size_t offset) const
    {
        if (!has(offset, 2)) return 0;
        return static_cast<std::uint16_t>(m_bytes[offset] | m_bytes[offset + 1] << 8);
    }
    std::int16_t i2(std::size_t offset) const { return static_cast<std::int16_t>(u2(offset)); }
    std::uint32_t u4(std::size_t offset) const
    {
        if (!has(offset, 4)) return 0;
        return static_cast<std::uint32_t>(m_bytes[offset]) | static_cast<std::uint32_t>(m_bytes[offset + 1]) << 8
               | static_cast<std::uint32_t>(m_bytes[offset + 2]) << 16
               | static_cast<std::uint32_t>(m_bytes[offset + 3]) << 24;
    }
    std::int32_t i4(std::size_t offset) const { return static_cast<std::int32_t>(u4(offset)); }
    std::uint64_t u8(std::size_t offset) const
    {
        if (!has(offset, 8)) return 0;
        return static_cast<std::uint64_t>(u4(offset)) | static_cast<std::uint64_t>(u4(offset + 4)) << 32;
    }
    std::span<const std::uint8_t> bytes(std::size_t offset, std::size_t count) const
    {
        return has(offset, count) ? m_bytes.subspan(offset, count) : std::span<const std::uint8_t>{};
    }

private:
    std::span<const std::uint8_t> m_bytes;
};

// Appends little-endian fields to an outgoing payload.
template <typename Bytes>
void putLittleEndian(Bytes& out, std::uint64_t value, std::size_t width)
{
    for (std::size_t i = 0; i < width; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

}  // namespace binary
