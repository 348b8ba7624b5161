// SPDX-License-Identifier: BSD-2-Clause
#include "serial/KeyConfigurationPlan.h"

#include "binary/UbxCommands.h"
#include "platform/Alert.h"

namespace {

using Kind = ConfigurationStep::Kind;

constexpr std::uint8_t kValSet = 0x8A;
constexpr std::uint8_t kValGet = 0x8B;
constexpr std::uint8_t kCfgCfg = 0x09;
constexpr std::uint32_t kUart1Baud = 0x40520001;

}  // namespace

std::string KeyConfigurationPlan::listed(std::span<const binary::UbxConfigValue> values)
{
    std::string what;
    for (const binary::UbxConfigValue& value : values)
        what += (what.empty() ? "" : ", ") + binary::formatUbxConfigValue(value);
    return what;
}

ConfigurationStep KeyConfigurationPlan::read(Kind kind, std::vector<std::uint32_t> keys, std::string what)
{
    ConfigurationStep step;
    step.kind = kind;
    step.keys = std::move(keys);
    step.frame = binary::ubxValGet(kind == Kind::ReadDefaultRate ? binary::UbxLayer::Default : binary::UbxLayer::Ram,
                                   step.keys);
    step.messageId = kValGet;
    step.what = what.empty() ? Alert::localizedStringWithKey("ConfigReadWhat") : std::move(what);
    return step;
}

std::vector<ConfigurationStep> KeyConfigurationPlan::readEach(const ConfigurationStep& refused)
{
    std::vector<ConfigurationStep> steps;
    for (const std::uint32_t key : refused.keys) steps.push_back(read(refused.kind, {key}, refused.what));
    return steps;
}

// The line rate goes last and alone: the other values are confirmed at the rate they were
// sent at, and what comes after the change is sent only once the receiver is heard again.
std::vector<ConfigurationStep> KeyConfigurationPlan::write(std::span<const binary::UbxConfigValue> values)
{
    std::vector<binary::UbxConfigValue> others;
    std::vector<binary::UbxConfigValue> rate;
    for (const binary::UbxConfigValue& value : values) (value.key == kUart1Baud ? rate : others).push_back(value);
    std::vector<ConfigurationStep> steps;
    for (std::vector<binary::UbxConfigValue>* part : {&others, &rate}) {
        if (part->empty()) continue;
        ConfigurationStep step;
        step.kind = Kind::Write;
        step.frame = binary::ubxValSet(binary::ubxlayers::kRam, *part);
        step.values = *part;
        step.messageId = kValSet;
        step.what = listed(*part);
        steps.push_back(std::move(step));
    }
    return steps;
}

ConfigurationStep KeyConfigurationPlan::save()
{
    ConfigurationStep step;
    step.kind = Kind::Save;
    step.frame = binary::ubxSaveConfig();
    step.messageId = kCfgCfg;
    step.what = Alert::localizedStringWithKey("ConfigSaveWhat");
    return step;
}

std::vector<ConfigurationStep> KeyConfigurationPlan::reset(std::vector<std::uint32_t> keys)
{
    // The factory line rate first: a reset that brings back another rate is followed.
    std::vector<ConfigurationStep> steps;
    steps.push_back(read(Kind::ReadDefaultRate, {kUart1Baud}, {}));
    ConfigurationStep reset;
    reset.kind = Kind::Reset;
    reset.frame = binary::ubxResetToDefaults();
    reset.messageId = kCfgCfg;
    reset.what = Alert::localizedStringWithKey("ConfigResetWhat");
    steps.push_back(std::move(reset));
    steps.push_back(read(Kind::ReadAfterReset, std::move(keys), {}));
    return steps;
}
