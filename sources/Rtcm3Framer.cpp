// SPDX-License-Identifier: BSD-2-Clause
#include "sources/Rtcm3Framer.h"

#include "binary/Crc24q.h"

namespace {
constexpr std::uint8_t kPreamble = 0xD3;
}  // namespace

void Rtcm3Framer::feed(std::span<const std::uint8_t> input, const FrameHandler& onFrame)
{
    m_buffer.insert(m_buffer.end(), input.begin(), input.end());
    std::size_t at = 0;
    for (;;) {
        while (at < m_buffer.size() && m_buffer[at] != kPreamble) {
            ++at;
            ++m_skipped;
        }
        if (m_buffer.size() - at < 3) break;
        // The 6 bits before the length are reserved as zero: a 0xD3 followed by anything else
        // is not a frame start, and waiting for its "length" would hold back real frames.
        if ((m_buffer[at + 1] & 0xFCu) != 0) {
            ++at;
            ++m_skipped;
            continue;
        }
        const std::size_t length = ((m_buffer[at + 1] & 0x03u) << 8) | m_buffer[at + 2];
        const std::size_t total = 3 + length + 3;
        if (m_buffer.size() - at < total) break;
        const std::span<const std::uint8_t> frame(m_buffer.data() + at, total);
        const std::uint32_t stated = (std::uint32_t{frame[total - 3]} << 16) |
                                     (std::uint32_t{frame[total - 2]} << 8) | frame[total - 1];
        if (binary::crc24q(frame.first(total - 3)) == stated && length >= 2) {
            ++m_frames;
            onFrame(frame);
            at += total;
        } else {
            // A 0xD3 inside other bytes, or a damaged frame: the next frame may start anywhere
            // after this byte, even inside the length just read.
            ++m_crcFailures;
            ++at;
            ++m_skipped;
        }
    }
    m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(at));
}

std::uint16_t Rtcm3Framer::messageType(std::span<const std::uint8_t> frame)
{
    if (frame.size() < 5) return 0;
    return static_cast<std::uint16_t>((frame[3] << 4) | (frame[4] >> 4));
}

std::optional<std::uint16_t> Rtcm3Framer::stationId(std::span<const std::uint8_t> frame)
{
    if (frame.size() < 3 + 3 + 3) return std::nullopt;
    const std::uint16_t type = messageType(frame);
    const bool carriesStation = (type >= 1001 && type <= 1013) || type == 1033 ||
                                (type >= 1071 && type <= 1137) || type == 1230;
    if (!carriesStation) return std::nullopt;
    return static_cast<std::uint16_t>(((frame[4] & 0x0Fu) << 8) | frame[5]);
}
