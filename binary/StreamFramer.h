// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "binary/Frame.h"

namespace binary {

// Cuts a byte stream that mixes NMEA lines, UBX frames and RTCM3 frames into whole frames,
// in the order they arrived. Bytes come in chunks of any size; a frame split across chunks is
// held until it is complete.
//
// A binary frame is given out only once its checksum holds. A header whose length cannot be
// checked yet is waited for (at most the length cap); a wrong checksum or an impossible
// length skips that one start byte and the scan resumes right after it, so a real frame
// that began inside the false one is still found. NMEA checksums are left to the codec.
//
// NMEA lines follow the serial reader's rules: a line starts with '$' or '!', ends with CR,
// LF or CR LF (the LF kept with the line), and a line of lineLimit bytes or more is dropped.
// NMEA is 7-bit text, so a UBX or RTCM3 start byte (0xB5, 0xD3) inside a line ends it: the
// line so far is given out as cut and the binary frame is then read.
class StreamFramer {
public:
    static constexpr std::size_t kDefaultLineLimit = 1024;
    // No UBX message a receiver sends on its own comes near this; a longer length is garbage.
    static constexpr std::size_t kDefaultUbxLengthCap = 8192;

    struct Counts {
        std::uint64_t nmeaLines = 0;
        std::uint64_t ubxFrames = 0;
        std::uint64_t rtcm3Frames = 0;
        std::uint64_t badUbxChecksums = 0;
        std::uint64_t badRtcm3Checksums = 0;
        std::uint64_t oversizeLengths = 0;  // UBX length above the cap
        std::uint64_t overlongLines = 0;    // NMEA lines dropped at the line limit
        std::uint64_t cutLines = 0;         // NMEA lines ended by a binary frame or the stream's end
        std::uint64_t truncatedFrames = 0;  // binary frames incomplete when the stream ended
        std::uint64_t bytesSkipped = 0;     // bytes given out in no frame
        // LFs that arrived after their CR-ended line had been given out (the line end fell
        // between two chunks): part of a frame, not skipped.
        std::uint64_t lateLineFeeds = 0;
    };

    explicit StreamFramer(std::size_t lineLimit = kDefaultLineLimit,
                          std::size_t ubxLengthCap = kDefaultUbxLengthCap);

    // Takes the next chunk of the stream (copied).
    void feed(std::span<const std::uint8_t> bytes);
    // The next whole frame into out (its storage reused); false when more bytes are needed.
    bool next(Frame& out);
    // No more bytes are coming (end of a file, or a line gone quiet): stop waiting for the
    // rest of incomplete frames; next() then gives out every frame the held bytes contain and
    // the last partial line as a cut line. The next feed() starts waiting normally again.
    void drain() { m_draining = true; }

    const Counts& counts() const { return m_counts; }
    // Bytes held back, waiting for the rest of a frame.
    std::size_t pending() const { return m_buffer.size() - m_start; }

private:
    // Dropped: the bytes were consumed and counted already.
    enum class Scan : std::uint8_t { Found, NeedMore, NotFrame, Dropped };

    Scan scanLine(Frame& out);
    Scan scanUbx(Frame& out);
    Scan scanRtcm3(Frame& out);
    void take(Frame& out, FrameKind kind, std::size_t length);
    void skip(std::size_t count);

    std::vector<std::uint8_t> m_buffer;
    std::size_t m_start = 0;
    std::size_t m_lineLimit;
    std::size_t m_ubxLengthCap;
    bool m_draining = false;
    // A line ended with CR as the last byte held: its LF, if the next chunk starts with one,
    // belongs to it and is dropped quietly.
    bool m_swallowLineFeed = false;
    Counts m_counts;
};

}  // namespace binary
