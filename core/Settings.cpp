#include "core/Settings.h"

#include "platform/Services.h"
#include "core/Alert.h"

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
    const platform::Preferences* preferences = platform::services().preferences;
    if (!preferences) return std::nullopt;
    auto value = preferences->objectForKey(key);
    if (!value) return std::nullopt;
    if (isOfType(*value, expected)) return value;
    // Left in place: the next write under this key replaces it.
    Alert::showMessageWithKey("NSCorruptSettings");
    return std::nullopt;
}

void Settings::save()
{
    if (platform::Preferences* preferences = platform::services().preferences)
        preferences->synchronize();
}
