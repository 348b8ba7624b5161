// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "binary/UbxConfigKeys.h"
#include "binary/UbxLegacyConfig.h"

// One request of ReceiverConfiguration on the wire, and what its answer is taken for.
struct ConfigurationStep {
    enum class Kind : std::uint8_t {
        Identify,         // MON-VER: which way of configuring the receiver knows
        Probe,            // CFG-VALGET of one key, when MON-VER did not tell
        Read,             // current values
        Fetch,            // an older message's current payload, for the Write after it
        Write,
        Save,
        ReadDefaultRate,  // the factory line rate, before a reset
        Reset,
        ReadAfterReset,
    };
    Kind kind = Kind::Read;
    std::vector<std::uint32_t> keys;             // Read, ReadDefaultRate, ReadAfterReset, Fetch
    std::vector<binary::UbxConfigValue> values;  // Write
    // The whole frame; for a Write through an older message, made from the Fetch's answer
    // when it goes out.
    std::vector<std::uint8_t> frame;
    std::uint8_t messageId = 0;  // of class CFG, what the ACK names
    // Set for the older messages: which one is read or written.
    std::optional<binary::UbxLegacyTarget> legacy;
    std::string what;       // for the messages
    bool answered = false;  // a poll's answer came; its ACK may still follow
};
