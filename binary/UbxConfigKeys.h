// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The configuration key interface of generation-9 and later receivers (CFG-VALGET/VALSET):
// the keys a user changes, by the receiver's own names, and "KEY=VALUE" text.
namespace binary {

// A key id holds its value's storage size in bits 28-30; group in 16-23, item in 0-11.
enum class UbxValueType : std::uint8_t { Bit, U1, U2, U4, U8, I1, I2, I4, E1, X1 };

struct UbxConfigKey {
    std::string_view name;  // "CFG-RATE-MEAS"
    std::uint32_t id;       // 0x30210001
    UbxValueType type;
    std::string_view unit;  // "ms", "" when the value has none
};

struct UbxConfigValue {
    std::uint32_t key = 0;
    std::uint64_t value = 0;  // the stored bytes as an unsigned number (signed types sign-extended on output only)
    bool operator==(const UbxConfigValue&) const = default;
};

// Bytes of a key's value from its size bits (1 for a one-bit value); 0 for a malformed id.
std::size_t ubxKeyValueSize(std::uint32_t key);

std::span<const UbxConfigKey> ubxConfigKeys();
const UbxConfigKey* ubxConfigKeyByName(std::string_view name);  // case-insensitive, '_' and '-' as written
const UbxConfigKey* ubxConfigKeyById(std::uint32_t id);

enum class UbxConfigError : std::uint8_t { None, NoEquals, UnknownKey, BadValue, OutOfRange };
// The message-table key of an error, for the user (empty for None).
std::string_view ubxConfigErrorKey(UbxConfigError error);

struct UbxConfigParse {
    std::optional<UbxConfigValue> value;
    UbxConfigError error = UbxConfigError::None;
};

// "CFG-RATE-MEAS=200", "CFG-SIGNAL-GPS_L5_ENA=true", "0x10310004=1": the key by its name
// (or a 0x id), the value decimal, 0x hexadecimal, or true/false for one-bit keys, checked
// against the key's size and sign.
UbxConfigParse parseUbxConfigAssignment(std::string_view text);
// "CFG-RATE-MEAS=200"; a key not in the table as "0x30210001=200".
std::string formatUbxConfigValue(const UbxConfigValue& value);

// The answer to CFG-VALGET (version 1): layer, position, and the values in the order sent.
struct UbxValGetResponse {
    std::uint8_t layer = 0;
    std::uint16_t position = 0;
    std::vector<UbxConfigValue> values;
};

// Empty when the payload is not a version-1 answer or a key's size is malformed or cut short:
// a value of unknown size makes every value after it unreadable.
std::optional<UbxValGetResponse> decodeUbxValGetResponse(std::span<const std::uint8_t> payload);

}  // namespace binary
