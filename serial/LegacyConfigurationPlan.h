// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "binary/UbxConfigKeys.h"
#include "serial/ConfigurationStep.h"

// The requests that read or write configuration keys on a receiver without them (an M8 or
// older) through the older CFG messages each key lives in: a read is one poll per message; a
// write polls the message and sends its answer back with the values changed, so that the
// fields the user did not name keep what the receiver has.
class LegacyConfigurationPlan {
public:
    // The keys of those given that no older message holds, in their order.
    static std::vector<std::uint32_t> unreachable(std::span<const std::uint32_t> keys);
    // "CFG-SIGNAL-GPS_L5_ENA, 0x10310004": the keys by name (an unknown one by its id).
    static std::string names(std::span<const std::uint32_t> keys);
    // One poll per message, in the order of the keys' first appearance; keys no message holds
    // are left out. kind: Read or ReadAfterReset.
    static std::vector<ConfigurationStep> read(ConfigurationStep::Kind kind, std::span<const std::uint32_t> keys,
                                               const std::string& what);
    // A Fetch and a Write per message, in the order of the values' first appearance; values no
    // message holds are left out (ask unreachable() first).
    static std::vector<ConfigurationStep> write(std::span<const binary::UbxConfigValue> values);
};
