// SPDX-License-Identifier: BSD-2-Clause
#include "serial/LegacyConfigurationPlan.h"

#include <algorithm>
#include <cstdio>

namespace {

using Kind = ConfigurationStep::Kind;

std::string listed(std::span<const binary::UbxConfigValue> values)
{
    std::string what;
    for (const binary::UbxConfigValue& value : values)
        what += (what.empty() ? "" : ", ") + binary::formatUbxConfigValue(value);
    return what;
}

// The distinct messages of the keys, in the order they first appear.
std::vector<binary::UbxLegacyTarget> targetsOf(std::span<const std::uint32_t> keys)
{
    std::vector<binary::UbxLegacyTarget> targets;
    for (const std::uint32_t key : keys) {
        const auto target = binary::ubxLegacyTarget(key);
        if (target && std::find(targets.begin(), targets.end(), *target) == targets.end()) targets.push_back(*target);
    }
    return targets;
}

}  // namespace

std::vector<std::uint32_t> LegacyConfigurationPlan::unreachable(std::span<const std::uint32_t> keys)
{
    std::vector<std::uint32_t> missing;
    for (const std::uint32_t key : keys)
        if (!binary::ubxLegacyTarget(key)) missing.push_back(key);
    return missing;
}

std::string LegacyConfigurationPlan::names(std::span<const std::uint32_t> keys)
{
    std::string names;
    for (const std::uint32_t key : keys) {
        const binary::UbxConfigKey* known = binary::ubxConfigKeyById(key);
        char id[16];
        std::snprintf(id, sizeof id, "0x%08x", static_cast<unsigned>(key));
        names += (names.empty() ? "" : ", ") + (known ? std::string(known->name) : std::string(id));
    }
    return names;
}

std::vector<ConfigurationStep> LegacyConfigurationPlan::read(Kind kind, std::span<const std::uint32_t> keys,
                                                             const std::string& what)
{
    std::vector<ConfigurationStep> steps;
    for (const binary::UbxLegacyTarget& target : targetsOf(keys)) {
        ConfigurationStep step;
        step.kind = kind;
        for (const std::uint32_t key : keys)
            if (binary::ubxLegacyTarget(key) == target) step.keys.push_back(key);
        step.frame = binary::ubxLegacyPoll(target);
        step.messageId = static_cast<std::uint8_t>(target.message);
        step.legacy = target;
        step.what = what;
        steps.push_back(std::move(step));
    }
    return steps;
}

std::vector<ConfigurationStep> LegacyConfigurationPlan::write(std::span<const binary::UbxConfigValue> values)
{
    std::vector<std::uint32_t> keys;
    for (const binary::UbxConfigValue& value : values) keys.push_back(value.key);
    std::vector<ConfigurationStep> steps;
    for (const binary::UbxLegacyTarget& target : targetsOf(keys)) {
        ConfigurationStep write;
        write.kind = Kind::Write;
        for (const binary::UbxConfigValue& value : values)
            if (binary::ubxLegacyTarget(value.key) == target) write.values.push_back(value);
        write.messageId = static_cast<std::uint8_t>(target.message);
        write.legacy = target;
        write.what = listed(write.values);
        ConfigurationStep fetch;
        fetch.kind = Kind::Fetch;
        fetch.frame = binary::ubxLegacyPoll(target);
        fetch.messageId = write.messageId;
        fetch.legacy = target;
        fetch.what = write.what;
        steps.push_back(std::move(fetch));
        steps.push_back(std::move(write));
    }
    return steps;
}
