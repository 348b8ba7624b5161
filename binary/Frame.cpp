// SPDX-License-Identifier: BSD-2-Clause
#include "binary/Frame.h"

#include <string>

#include "binary/UbxFrame.h"
#include "binary/UbxMessages.h"

namespace binary {

std::span<const std::uint8_t> Frame::payload() const
{
    const std::span<const std::uint8_t> all(bytes);
    switch (kind) {
    case FrameKind::Ubx:
        return all.size() >= 8 ? all.subspan(6, all.size() - 8) : std::span<const std::uint8_t>{};
    case FrameKind::Rtcm3:
        return all.size() >= 6 ? all.subspan(3, all.size() - 6) : std::span<const std::uint8_t>{};
    case FrameKind::Nmea:
        break;
    }
    return all;
}

bool rtcm3HasStation(std::uint16_t message)
{
    // Observations, station descriptions, MSM and GLONASS biases carry the station after the
    // message number; ephemerides carry a satellite instead.
    return (message >= 1001 && message <= 1013) || message == 1029 || message == 1033
           || (message >= 1071 && message <= 1137) || message == 1230;
}

std::string describeFrame(const Frame& frame)
{
    const std::span<const std::uint8_t> payload = frame.payload();
    switch (frame.kind) {
    case FrameKind::Ubx: {
        std::string text = "UBX " + ubxMessageName(frame.ubxClass, frame.ubxId);
        return text + " " + std::to_string(payload.size()) + " bytes";
    }
    case FrameKind::Rtcm3: {
        std::string text = "RTCM3 " + std::to_string(frame.rtcmMessage);
        if (payload.size() >= 3 && rtcm3HasStation(frame.rtcmMessage))
            text += " station " + std::to_string((payload[1] & 0x0F) << 8 | payload[2]);
        return text + " " + std::to_string(payload.size()) + " bytes";
    }
    case FrameKind::Nmea:
        break;
    }
    std::string text;
    text.reserve(payload.size());
    for (const std::uint8_t byte : payload) {
        if (byte == '\r' || byte == '\n') break;
        text.push_back(byte >= 0x20 && byte < 0x7F ? static_cast<char>(byte) : '.');
    }
    return text;
}

std::vector<std::uint8_t> ubxFrame(std::uint8_t messageClass, std::uint8_t messageId,
                                   std::span<const std::uint8_t> payload)
{
    if (payload.size() > 0xFFFF) return {};
    std::vector<std::uint8_t> frame;
    frame.reserve(payload.size() + 8);
    frame.push_back(0xB5);
    frame.push_back(0x62);
    frame.push_back(messageClass);
    frame.push_back(messageId);
    frame.push_back(static_cast<std::uint8_t>(payload.size() & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(payload.size() >> 8));
    frame.insert(frame.end(), payload.begin(), payload.end());
    const UbxChecksum sum = ubxChecksum(std::span<const std::uint8_t>(frame).subspan(2));
    frame.push_back(sum.a);
    frame.push_back(sum.b);
    return frame;
}

}  // namespace binary
