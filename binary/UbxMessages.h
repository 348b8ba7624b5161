// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "binary/UbxRecords.h"

namespace binary {

enum class UbxProblem : std::uint8_t {
    None,
    UnknownMessage,  // not in the table
    Ignored,         // known, but the program does not read it
    TooShort,        // shorter than the table's minimum
    BadLength,       // the length does not match the count of repeated blocks it announces
    OutOfRange,      // a value the message cannot hold (month 13, fix type 9, ...)
    BadVersion,      // a message version this decoder does not know
};

// The message-table key of a problem, for the monitor (empty for None).
std::string_view ubxProblemKey(UbxProblem problem);

struct UbxDecoded {
    std::optional<UbxRecord> record;
    UbxProblem problem = UbxProblem::None;
};

using UbxDecoder = UbxDecoded (*)(std::span<const std::uint8_t> payload);

// One row per message the program knows: rows with no decoder are known but ignored.
struct UbxMessageKind {
    std::uint8_t messageClass;
    std::uint8_t messageId;
    std::string_view name;     // "NAV-PVT"
    std::size_t minimumLength; // checked once, before the decoder runs
    UbxDecoder decode;         // nullptr: known, ignored
};

std::span<const UbxMessageKind> ubxMessageTable();
const UbxMessageKind* ubxMessageKind(std::uint8_t messageClass, std::uint8_t messageId);
// "NAV-PVT", or "0x01-0x99" for a message not in the table.
std::string ubxMessageName(std::uint8_t messageClass, std::uint8_t messageId);
// Looks the message up and decodes its payload.
UbxDecoded decodeUbx(std::uint8_t messageClass, std::uint8_t messageId, std::span<const std::uint8_t> payload);

// The decoders, each for the payload of its message (length already checked by the table
// when called through decodeUbx; each checks again on its own).
UbxDecoded decodeNavPvt(std::span<const std::uint8_t> payload);
UbxDecoded decodeNavSat(std::span<const std::uint8_t> payload);
UbxDecoded decodeNavSig(std::span<const std::uint8_t> payload);
UbxDecoded decodeNavDop(std::span<const std::uint8_t> payload);
UbxDecoded decodeNavTimeUtc(std::span<const std::uint8_t> payload);
UbxDecoded decodeNavStatus(std::span<const std::uint8_t> payload);
UbxDecoded decodeNavHpPosLlh(std::span<const std::uint8_t> payload);
UbxDecoded decodeNavPosEcef(std::span<const std::uint8_t> payload);
UbxDecoded decodeNavVelEcef(std::span<const std::uint8_t> payload);
UbxDecoded decodeNavTimeLs(std::span<const std::uint8_t> payload);
UbxDecoded decodeNavEoe(std::span<const std::uint8_t> payload);
UbxDecoded decodeNavSbas(std::span<const std::uint8_t> payload);
UbxDecoded decodeNavSol(std::span<const std::uint8_t> payload);
UbxDecoded decodeNavPosLlh(std::span<const std::uint8_t> payload);
UbxDecoded decodeNavVelNed(std::span<const std::uint8_t> payload);
UbxDecoded decodeNavTimeGps(std::span<const std::uint8_t> payload);
UbxDecoded decodeNavSvInfo(std::span<const std::uint8_t> payload);
UbxDecoded decodeMonVer(std::span<const std::uint8_t> payload);
UbxDecoded decodeMonRf(std::span<const std::uint8_t> payload);
UbxDecoded decodeMonHw(std::span<const std::uint8_t> payload);
UbxDecoded decodeAckAck(std::span<const std::uint8_t> payload);
UbxDecoded decodeAckNak(std::span<const std::uint8_t> payload);
UbxDecoded decodeRxmRtcm(std::span<const std::uint8_t> payload);
UbxDecoded decodeInf(std::span<const std::uint8_t> payload);

}  // namespace binary
