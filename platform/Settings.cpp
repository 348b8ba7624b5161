// SPDX-License-Identifier: BSD-2-Clause
#include "platform/Settings.h"

#include "platform/Services.h"
#include "platform/Alert.h"

namespace {

bool isOfType(const platform::PreferenceValue& value, SettingType expected)
{
    const bool isText = std::holds_alternative<std::string>(value);
    return expected == SettingType::Text ? isText : !isText;
}

}  // namespace

void Settings::setItem(const std::string& key, const std::optional<platform::PreferenceValue>& value)
{
    platform::Preferences* preferences = platform::services().preferences;
    if (!preferences || key.empty() || !value) return;
    preferences->setObject(key, *value);
}

std::optional<platform::PreferenceValue> Settings::item(const std::string& key, SettingType expected)
{
    std::vector<std::string> wrongKeys;
    auto value = item(key, expected, wrongKeys);
    if (!wrongKeys.empty()) Alert::showMessageWithKey("CorruptSettings");
    return value;
}

std::optional<platform::PreferenceValue> Settings::item(const std::string& key, SettingType expected,
                                                        std::vector<std::string>& wrongKeys)
{
    const platform::Preferences* preferences = platform::services().preferences;
    if (!preferences) return std::nullopt;
    auto value = preferences->objectForKey(key);
    if (!value) return std::nullopt;
    if (isOfType(*value, expected)) return value;
    // Left in place: the next write under this key replaces it.
    wrongKeys.push_back(key);
    return std::nullopt;
}

void Settings::reportWrongKeys(const std::vector<std::string>& wrongKeys)
{
    if (wrongKeys.empty()) return;
    std::string names;
    for (const auto& key : wrongKeys) names += (names.empty() ? "" : ", ") + key;
    Alert::showMessage(Alert::localizedStringWithKey("CorruptSettingsList", {names}));
}

bool Settings::save(std::string* failure)
{
    platform::Preferences* preferences = platform::services().preferences;
    if (!preferences || preferences->synchronize()) return true;
    if (failure) *failure = preferences->failureReason();
    return false;
}
