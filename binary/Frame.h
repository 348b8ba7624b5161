// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace binary {

enum class FrameKind : std::uint8_t { Nmea, Ubx, Rtcm3 };

// One whole frame cut from a mixed byte stream, owned by the holder.
struct Frame {
    FrameKind kind = FrameKind::Nmea;
    // The frame as received: an NMEA line with the CR/LF it ended with (none when cut); a UBX
    // frame from its 0xB5 0x62 sync to its checksum; an RTCM3 frame from 0xD3 to its CRC.
    std::vector<std::uint8_t> bytes;
    std::uint8_t ubxClass = 0;
    std::uint8_t ubxId = 0;
    std::uint16_t rtcmMessage = 0;  // 0 for an RTCM3 frame too short to carry a number
    // NMEA only: the line did not end with CR/LF (a binary frame began inside it, or the
    // stream ended). The codec decides whether what is there is a whole sentence.
    bool cut = false;

    // UBX and RTCM3: the message between header and check; NMEA: the whole line.
    std::span<const std::uint8_t> payload() const;
};

// One line for the monitor: "UBX NAV-PVT 92 bytes", "RTCM3 1077 station 0 244 bytes", or the
// NMEA line itself without its line end (bytes that are not printable ASCII shown as '.').
std::string describeFrame(const Frame& frame);

// The station id of an RTCM3 message, for the message types that carry one.
bool rtcm3HasStation(std::uint16_t message);

}  // namespace binary
