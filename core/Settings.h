#pragma once

#include <optional>
#include <string>

#include "platform/Preferences.h"

// The type a reader expects under a key. Number accepts every stored number (integer,
// floating point or flag), as a number object of any kind would pass the check.
enum class SettingType { Text, Number };

// The only way to the per-user preferences (platform::services().preferences). No state of
// its own and no cache: every call goes to the store. Main thread only.
class Settings {
public:
    Settings() = delete;

    // Stores the value under the key. No value or an empty key: nothing happens and the
    // earlier value stays.
    static void setItem(const std::string& key, const std::optional<platform::PreferenceValue>& value);
    // The stored value, or nothing when none is stored. A value of another type shows the
    // "NSCorruptSettings" message (a blocking panel) and reads as nothing; it stays stored.
    static std::optional<platform::PreferenceValue> item(const std::string& key, SettingType expected);
    // Writes pending changes to disk now; a failure is not reported.
    static void save();
};
