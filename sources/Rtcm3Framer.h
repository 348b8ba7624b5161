// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

// Cuts RTCM 3 frames out of a correction stream: 0xD3, 6 reserved bits (zero) and a 10-bit
// message length, the message, CRC-24Q over all of it. Only frames whose CRC matches come out, whole
// and byte for byte; anything else is skipped a byte at a time until the next frame that
// checks (a caster's stray header lines, a frame cut by a reconnect, noise). Keeps state
// across feeds, so a frame split between reads comes out once it is complete.
class Rtcm3Framer {
public:
    using FrameHandler = std::function<void(std::span<const std::uint8_t> frame)>;

    static constexpr std::size_t kMaxFrame = 3 + 1023 + 3;

    // Calls onFrame for each complete, checked frame in input, in order. The span lives until
    // onFrame returns.
    void feed(std::span<const std::uint8_t> input, const FrameHandler& onFrame);
    // Forgets a partial frame (after a reconnect its rest will never come).
    void reset() { m_buffer.clear(); }

    std::uint64_t framesChecked() const { return m_frames; }
    // Places with a frame start whose CRC did not match (damaged frames, 0xD3 in noise).
    std::uint64_t crcFailures() const { return m_crcFailures; }
    // Bytes that belonged to no checked frame.
    std::uint64_t bytesSkipped() const { return m_skipped; }
    // Bytes held for a frame not yet complete.
    std::size_t bytesPending() const { return m_buffer.size(); }

    // The message number (first 12 bits of the message) of a checked frame.
    static std::uint16_t messageType(std::span<const std::uint8_t> frame);
    // The reference station id of message types that carry one right after the number
    // (1001-1013, 1033, MSM 1071-1137, 1230); nothing for others (ephemerides 1019, 1020,
    // 1042-1046 carry a satellite number there).
    static std::optional<std::uint16_t> stationId(std::span<const std::uint8_t> frame);

private:
    std::vector<std::uint8_t> m_buffer;
    std::uint64_t m_frames = 0;
    std::uint64_t m_crcFailures = 0;
    std::uint64_t m_skipped = 0;
};
