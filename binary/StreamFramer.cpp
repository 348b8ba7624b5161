// SPDX-License-Identifier: BSD-2-Clause
#include "binary/StreamFramer.h"

#include <algorithm>

#include "binary/Crc24q.h"
#include "binary/UbxFrame.h"

namespace binary {

namespace {

constexpr std::uint8_t kUbxSync1 = 0xB5;
constexpr std::uint8_t kUbxSync2 = 0x62;
constexpr std::uint8_t kRtcm3Preamble = 0xD3;
constexpr std::size_t kUbxOverhead = 8;    // sync 2, class, id, length 2, checksum 2
constexpr std::size_t kRtcm3Overhead = 6;  // preamble, length 2, CRC 3

bool startsFrame(std::uint8_t byte)
{
    return byte == '$' || byte == '!' || byte == kUbxSync1 || byte == kRtcm3Preamble;
}

}  // namespace

StreamFramer::StreamFramer(std::size_t lineLimit, std::size_t ubxLengthCap)
    : m_lineLimit(std::max<std::size_t>(lineLimit, 2)), m_ubxLengthCap(std::min<std::size_t>(ubxLengthCap, 0xFFFF))
{
}

void StreamFramer::feed(std::span<const std::uint8_t> bytes)
{
    if (bytes.empty()) return;
    m_draining = false;
    // Drop what has been given out before growing, so the buffer stays near the largest
    // frame plus one chunk.
    if (m_start > 0 && (m_start >= m_buffer.size() / 2 || m_start > 65536)) {
        m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(m_start));
        m_start = 0;
    }
    m_buffer.insert(m_buffer.end(), bytes.begin(), bytes.end());
}

bool StreamFramer::next(Frame& out)
{
    while (m_start < m_buffer.size()) {
        if (m_swallowLineFeed) {
            m_swallowLineFeed = false;
            if (m_buffer[m_start] == '\n') {
                ++m_counts.lateLineFeeds;
                ++m_start;
                continue;
            }
        }
        const std::uint8_t first = m_buffer[m_start];
        if (!startsFrame(first)) {
            const auto begin = m_buffer.begin() + static_cast<std::ptrdiff_t>(m_start);
            const auto found = std::find_if(begin, m_buffer.end(), startsFrame);
            skip(static_cast<std::size_t>(found - begin));
            continue;
        }
        Scan scan;
        if (first == kUbxSync1) scan = scanUbx(out);
        else if (first == kRtcm3Preamble) scan = scanRtcm3(out);
        else scan = scanLine(out);
        if (scan == Scan::Found) return true;
        if (scan == Scan::Dropped) continue;
        if (scan == Scan::NeedMore) {
            if (!m_draining) return false;
            // Nothing more will come to complete it: this start byte was not a frame.
            ++m_counts.truncatedFrames;
            skip(1);
            continue;
        }
        skip(1);
    }
    if (m_draining) m_swallowLineFeed = false;
    m_buffer.clear();
    m_start = 0;
    return false;
}

StreamFramer::Scan StreamFramer::scanLine(Frame& out)
{
    const std::size_t held = m_buffer.size() - m_start;
    const std::size_t window = std::min(held, m_lineLimit);
    const std::uint8_t* start = m_buffer.data() + m_start;
    const std::uint8_t* end = std::find_if(start + 1, start + window, [](std::uint8_t c) {
        return c == '\r' || c == '\n' || c == kUbxSync1 || c == kRtcm3Preamble;
    });
    if (end == start + window) {
        if (window >= m_lineLimit) {
            // The serial reader drops such a line whole; so do we, then resynchronise.
            ++m_counts.overlongLines;
            skip(m_lineLimit);
            return Scan::Dropped;
        }
        if (!m_draining) return Scan::NeedMore;
        ++m_counts.cutLines;
        ++m_counts.nmeaLines;
        take(out, FrameKind::Nmea, held);
        out.cut = true;
        return Scan::Found;
    }
    std::size_t length = static_cast<std::size_t>(end - start);
    if (*end == kUbxSync1 || *end == kRtcm3Preamble) {
        ++m_counts.cutLines;
        ++m_counts.nmeaLines;
        take(out, FrameKind::Nmea, length);
        out.cut = true;
        return Scan::Found;
    }
    ++length;
    if (*end == '\r') {
        if (length < held) {
            if (start[length] == '\n') ++length;
        } else if (!m_draining) {
            m_swallowLineFeed = true;
        }
    }
    if (length >= m_lineLimit) {
        ++m_counts.overlongLines;
        skip(length);
        return Scan::Dropped;
    }
    ++m_counts.nmeaLines;
    take(out, FrameKind::Nmea, length);
    return Scan::Found;
}

StreamFramer::Scan StreamFramer::scanUbx(Frame& out)
{
    const std::size_t held = m_buffer.size() - m_start;
    const std::uint8_t* start = m_buffer.data() + m_start;
    if (held < 2) return Scan::NeedMore;
    if (start[1] != kUbxSync2) return Scan::NotFrame;
    if (held < 6) return Scan::NeedMore;
    const std::size_t length = static_cast<std::size_t>(start[4] | start[5] << 8);
    if (length > m_ubxLengthCap) {
        ++m_counts.oversizeLengths;
        return Scan::NotFrame;
    }
    const std::size_t total = length + kUbxOverhead;
    if (held < total) return Scan::NeedMore;
    const UbxChecksum sum = ubxChecksum({start + 2, length + 4});
    if (sum.a != start[total - 2] || sum.b != start[total - 1]) {
        ++m_counts.badUbxChecksums;
        return Scan::NotFrame;
    }
    ++m_counts.ubxFrames;
    take(out, FrameKind::Ubx, total);
    out.ubxClass = out.bytes[2];
    out.ubxId = out.bytes[3];
    return Scan::Found;
}

StreamFramer::Scan StreamFramer::scanRtcm3(Frame& out)
{
    const std::size_t held = m_buffer.size() - m_start;
    const std::uint8_t* start = m_buffer.data() + m_start;
    if (held < 3) return held >= 2 && (start[1] & 0xFC) != 0 ? Scan::NotFrame : Scan::NeedMore;
    if ((start[1] & 0xFC) != 0) return Scan::NotFrame;  // the six reserved bits are zero
    const std::size_t length = static_cast<std::size_t>((start[1] & 0x03) << 8 | start[2]);
    const std::size_t total = length + kRtcm3Overhead;
    if (held < total) return Scan::NeedMore;
    const std::uint32_t crc = crc24q({start, length + 3});
    const std::uint32_t sent = static_cast<std::uint32_t>(start[total - 3]) << 16
                               | static_cast<std::uint32_t>(start[total - 2]) << 8 | start[total - 1];
    if (crc != sent) {
        ++m_counts.badRtcm3Checksums;
        return Scan::NotFrame;
    }
    ++m_counts.rtcm3Frames;
    take(out, FrameKind::Rtcm3, total);
    out.rtcmMessage = length >= 2 ? static_cast<std::uint16_t>(out.bytes[3] << 4 | out.bytes[4] >> 4) : 0;
    return Scan::Found;
}

void StreamFramer::take(Frame& out, FrameKind kind, std::size_t length)
{
    const auto begin = m_buffer.begin() + static_cast<std::ptrdiff_t>(m_start);
    out.kind = kind;
    out.bytes.assign(begin, begin + static_cast<std::ptrdiff_t>(length));
    out.ubxClass = 0;
    out.ubxId = 0;
    out.rtcmMessage = 0;
    out.cut = false;
    m_start += length;
}

void StreamFramer::skip(std::size_t count)
{
    m_counts.bytesSkipped += count;
    m_start += count;
}

}  // namespace binary
