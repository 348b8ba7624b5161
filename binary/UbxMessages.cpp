// SPDX-License-Identifier: BSD-2-Clause
#include "binary/UbxMessages.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace binary {

namespace {

// Minimum lengths are the fixed part; repeated blocks are checked by their decoders.
constexpr std::array kTable{
    UbxMessageKind{0x01, 0x01, "NAV-POSECEF", 20, decodeNavPosEcef},
    UbxMessageKind{0x01, 0x02, "NAV-POSLLH", 28, decodeNavPosLlh},
    UbxMessageKind{0x01, 0x03, "NAV-STATUS", 16, decodeNavStatus},
    UbxMessageKind{0x01, 0x04, "NAV-DOP", 18, decodeNavDop},
    UbxMessageKind{0x01, 0x05, "NAV-ATT", 32, nullptr},
    UbxMessageKind{0x01, 0x06, "NAV-SOL", 52, decodeNavSol},
    UbxMessageKind{0x01, 0x07, "NAV-PVT", 84, decodeNavPvt},
    UbxMessageKind{0x01, 0x09, "NAV-ODO", 20, nullptr},
    UbxMessageKind{0x01, 0x11, "NAV-VELECEF", 20, decodeNavVelEcef},
    UbxMessageKind{0x01, 0x12, "NAV-VELNED", 36, decodeNavVelNed},
    UbxMessageKind{0x01, 0x13, "NAV-HPPOSECEF", 28, nullptr},
    UbxMessageKind{0x01, 0x14, "NAV-HPPOSLLH", 36, decodeNavHpPosLlh},
    UbxMessageKind{0x01, 0x20, "NAV-TIMEGPS", 16, decodeNavTimeGps},
    UbxMessageKind{0x01, 0x21, "NAV-TIMEUTC", 20, decodeNavTimeUtc},
    UbxMessageKind{0x01, 0x22, "NAV-CLOCK", 20, nullptr},
    UbxMessageKind{0x01, 0x23, "NAV-TIMEGLO", 20, nullptr},
    UbxMessageKind{0x01, 0x24, "NAV-TIMEBDS", 20, nullptr},
    UbxMessageKind{0x01, 0x25, "NAV-TIMEGAL", 20, nullptr},
    UbxMessageKind{0x01, 0x26, "NAV-TIMELS", 24, decodeNavTimeLs},
    UbxMessageKind{0x01, 0x27, "NAV-TIMEQZSS", 20, nullptr},
    UbxMessageKind{0x01, 0x30, "NAV-SVINFO", 8, decodeNavSvInfo},
    UbxMessageKind{0x01, 0x32, "NAV-SBAS", 12, decodeNavSbas},
    UbxMessageKind{0x01, 0x34, "NAV-ORB", 8, nullptr},
    UbxMessageKind{0x01, 0x35, "NAV-SAT", 8, decodeNavSat},
    UbxMessageKind{0x01, 0x36, "NAV-COV", 64, nullptr},
    UbxMessageKind{0x01, 0x39, "NAV-GEOFENCE", 8, nullptr},
    UbxMessageKind{0x01, 0x3B, "NAV-SVIN", 40, nullptr},
    UbxMessageKind{0x01, 0x3C, "NAV-RELPOSNED", 40, nullptr},
    UbxMessageKind{0x01, 0x43, "NAV-SIG", 8, decodeNavSig},
    UbxMessageKind{0x01, 0x60, "NAV-AOPSTATUS", 16, nullptr},
    UbxMessageKind{0x01, 0x61, "NAV-EOE", 4, decodeNavEoe},
    UbxMessageKind{0x02, 0x13, "RXM-SFRBX", 8, nullptr},
    UbxMessageKind{0x02, 0x14, "RXM-MEASX", 44, nullptr},
    UbxMessageKind{0x02, 0x15, "RXM-RAWX", 16, nullptr},
    UbxMessageKind{0x02, 0x32, "RXM-RTCM", 8, decodeRxmRtcm},
    UbxMessageKind{0x02, 0x59, "RXM-RLM", 16, nullptr},
    UbxMessageKind{0x04, 0x00, "INF-ERROR", 0, decodeInf},
    UbxMessageKind{0x04, 0x01, "INF-WARNING", 0, decodeInf},
    UbxMessageKind{0x04, 0x02, "INF-NOTICE", 0, decodeInf},
    UbxMessageKind{0x04, 0x03, "INF-TEST", 0, decodeInf},
    UbxMessageKind{0x04, 0x04, "INF-DEBUG", 0, decodeInf},
    UbxMessageKind{0x05, 0x00, "ACK-NAK", 2, decodeAckNak},
    UbxMessageKind{0x05, 0x01, "ACK-ACK", 2, decodeAckAck},
    UbxMessageKind{0x06, 0x00, "CFG-PRT", 1, nullptr},
    UbxMessageKind{0x06, 0x01, "CFG-MSG", 2, nullptr},
    UbxMessageKind{0x06, 0x02, "CFG-INF", 1, nullptr},
    UbxMessageKind{0x06, 0x04, "CFG-RST", 4, nullptr},
    UbxMessageKind{0x06, 0x08, "CFG-RATE", 6, nullptr},
    UbxMessageKind{0x06, 0x09, "CFG-CFG", 12, nullptr},
    UbxMessageKind{0x06, 0x24, "CFG-NAV5", 36, nullptr},
    UbxMessageKind{0x06, 0x3E, "CFG-GNSS", 4, nullptr},
    UbxMessageKind{0x06, 0x8A, "CFG-VALSET", 4, nullptr},
    // The answer is read by the configuration code against the keys it asked for.
    UbxMessageKind{0x06, 0x8B, "CFG-VALGET", 4, nullptr},
    UbxMessageKind{0x06, 0x8C, "CFG-VALDEL", 4, nullptr},
    UbxMessageKind{0x0A, 0x02, "MON-IO", 0, nullptr},
    UbxMessageKind{0x0A, 0x04, "MON-VER", 40, decodeMonVer},
    UbxMessageKind{0x0A, 0x06, "MON-MSGPP", 120, nullptr},
    UbxMessageKind{0x0A, 0x07, "MON-RXBUF", 24, nullptr},
    UbxMessageKind{0x0A, 0x08, "MON-TXBUF", 28, nullptr},
    UbxMessageKind{0x0A, 0x09, "MON-HW", 60, decodeMonHw},
    UbxMessageKind{0x0A, 0x0B, "MON-HW2", 28, nullptr},
    UbxMessageKind{0x0A, 0x21, "MON-RXR", 1, nullptr},
    UbxMessageKind{0x0A, 0x27, "MON-PATCH", 4, nullptr},
    UbxMessageKind{0x0A, 0x28, "MON-GNSS", 8, nullptr},
    UbxMessageKind{0x0A, 0x31, "MON-SPAN", 4, nullptr},
    UbxMessageKind{0x0A, 0x36, "MON-COMMS", 8, nullptr},
    UbxMessageKind{0x0A, 0x38, "MON-RF", 4, decodeMonRf},
    UbxMessageKind{0x0A, 0x39, "MON-SYS", 24, nullptr},
    UbxMessageKind{0x0D, 0x01, "TIM-TP", 16, nullptr},
    UbxMessageKind{0x0D, 0x03, "TIM-TM2", 28, nullptr},
    UbxMessageKind{0x0D, 0x04, "TIM-SVIN", 28, nullptr},
    UbxMessageKind{0x0D, 0x06, "TIM-VRFY", 20, nullptr},
    UbxMessageKind{0x27, 0x03, "SEC-UNIQID", 9, nullptr},
    UbxMessageKind{0x27, 0x09, "SEC-SIG", 4, nullptr},
};

}  // namespace

std::string_view ubxProblemKey(UbxProblem problem)
{
    switch (problem) {
    case UbxProblem::None: return {};
    case UbxProblem::UnknownMessage: return "UbxUnknownMessage";
    case UbxProblem::Ignored: return "UbxIgnored";
    case UbxProblem::TooShort: return "UbxTooShort";
    case UbxProblem::BadLength: return "UbxBadLength";
    case UbxProblem::OutOfRange: return "UbxOutOfRange";
    case UbxProblem::BadVersion: return "UbxBadVersion";
    }
    return {};
}

std::span<const UbxMessageKind> ubxMessageTable() { return kTable; }

const UbxMessageKind* ubxMessageKind(std::uint8_t messageClass, std::uint8_t messageId)
{
    // The table is kept in class/id order (a test holds it there).
    const unsigned wanted = static_cast<unsigned>(messageClass) << 8 | messageId;
    const auto found = std::lower_bound(kTable.begin(), kTable.end(), wanted, [](const UbxMessageKind& kind, unsigned key) {
        return (static_cast<unsigned>(kind.messageClass) << 8 | kind.messageId) < key;
    });
    if (found == kTable.end() || found->messageClass != messageClass || found->messageId != messageId) return nullptr;
    return &*found;
}

std::string ubxMessageName(std::uint8_t messageClass, std::uint8_t messageId)
{
    if (const UbxMessageKind* kind = ubxMessageKind(messageClass, messageId)) return std::string(kind->name);
    char text[16];
    std::snprintf(text, sizeof text, "0x%02X-0x%02X", messageClass, messageId);
    return text;
}

UbxDecoded decodeUbx(std::uint8_t messageClass, std::uint8_t messageId, std::span<const std::uint8_t> payload)
{
    const UbxMessageKind* kind = ubxMessageKind(messageClass, messageId);
    if (!kind) return {std::nullopt, UbxProblem::UnknownMessage};
    if (!kind->decode) return {std::nullopt, UbxProblem::Ignored};
    if (payload.size() < kind->minimumLength) return {std::nullopt, UbxProblem::TooShort};
    return kind->decode(payload);
}

}  // namespace binary
