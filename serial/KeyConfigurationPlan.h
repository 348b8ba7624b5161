// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "binary/UbxConfigKeys.h"
#include "serial/ConfigurationStep.h"

// The requests of each configuration operation for a receiver with configuration keys
// (generation 9 and later): CFG-VALGET, CFG-VALSET, CFG-CFG.
class KeyConfigurationPlan {
public:
    // One CFG-VALGET of the keys (the defaults for ReadDefaultRate, RAM otherwise).
    static ConfigurationStep read(ConfigurationStep::Kind kind, std::vector<std::uint32_t> keys, std::string what);
    // The keys of a refused question asked again one by one, in their order.
    static std::vector<ConfigurationStep> readEach(const ConfigurationStep& refused);
    // The values to RAM, all but the UART1 line rate in one message, then the line rate alone.
    static std::vector<ConfigurationStep> write(std::span<const binary::UbxConfigValue> values);
    static ConfigurationStep save();
    // The factory line rate, the reset, then the keys read back.
    static std::vector<ConfigurationStep> reset(std::vector<std::uint32_t> keys);
    // "CFG-RATE-MEAS=200, CFG-SIGNAL-GLO_ENA=0"
    static std::string listed(std::span<const binary::UbxConfigValue> values);
};
