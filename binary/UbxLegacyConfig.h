// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "binary/UbxConfigKeys.h"
#include "binary/UbxRecords.h"

// Receivers before generation 9 (protocol versions below 23) have no configuration keys; a
// few of the keys a user changes map onto their older CFG messages, which are read by a poll
// and written back whole with the one field changed. The keys stay the user's vocabulary.
namespace binary {

// Protocol versions from this one on know CFG-VALGET/VALSET.
constexpr unsigned kUbxFirstKeyProtocol = 23;
// Every M8 module leaves the factory with UART1 at 9600 Bd; a reset to defaults goes back to it.
constexpr std::uint32_t kUbxLegacyFactoryBaud = 9600;

struct UbxProtocolVersion {
    unsigned major = 0;
    std::string text;  // "18.00", as the receiver wrote it
};
// From MON-VER's "PROTVER=18.00" (or the older firmware's "PROTVER 18.00"); nothing when it
// does not say or says something that is not a version.
std::optional<UbxProtocolVersion> ubxProtocolVersion(const UbxMonVer& version);

// The older message a key lives in (its id in class CFG) and which instance of it.
enum class UbxLegacyMessage : std::uint8_t { Port = 0x00, Msg = 0x01, Rate = 0x08, Gnss = 0x3E };
struct UbxLegacyTarget {
    UbxLegacyMessage message = UbxLegacyMessage::Rate;
    std::uint8_t first = 0;   // CFG-PRT: port id; CFG-MSG: the message's class
    std::uint8_t second = 0;  // CFG-MSG: the message's id
    auto operator<=>(const UbxLegacyTarget&) const = default;
};

// Nothing when the key has no simple equivalent in the older messages.
std::optional<UbxLegacyTarget> ubxLegacyTarget(std::uint32_t key);

// The poll whose answer holds the target's current values.
std::vector<std::uint8_t> ubxLegacyPoll(const UbxLegacyTarget& target);
// Whether a CFG message (its id and payload) is the answer to the target's poll.
bool ubxLegacyIsAnswer(const UbxLegacyTarget& target, std::uint8_t messageId, std::span<const std::uint8_t> payload);
// The values of keys of the target read from its answer; keys of another target and
// constellations the receiver has no block for are left out. Nothing when the payload is not
// a whole answer.
std::optional<std::vector<UbxConfigValue>> ubxLegacyValues(const UbxLegacyTarget& target,
                                                           std::span<const std::uint8_t> answer,
                                                           std::span<const std::uint32_t> keys);
// The whole frame that writes values: the answer sent back with only their fields changed.
// Empty when the answer is not whole, a value belongs to another target, does not fit its
// field, or names a constellation the answer has no block for.
std::vector<std::uint8_t> ubxLegacySet(const UbxLegacyTarget& target, std::span<const std::uint8_t> answer,
                                       std::span<const UbxConfigValue> values);

}  // namespace binary
