// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <optional>
#include <string>
#include <vector>

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
    // "CorruptSettings" message (a blocking panel) and reads as nothing; it stays stored.
    static std::optional<platform::PreferenceValue> item(const std::string& key, SettingType expected);
    // As above, but a value of another type is added to wrongKeys instead of raising a panel,
    // so that a caller reading several keys tells about all of them at once.
    static std::optional<platform::PreferenceValue> item(const std::string& key, SettingType expected,
                                                         std::vector<std::string>& wrongKeys);
    // One blocking panel naming every key; nothing when there is none.
    static void reportWrongKeys(const std::vector<std::string>& wrongKeys);
    // Writes pending changes to disk now. False when that failed, with the store's reason in
    // `failure` when one is given.
    static bool save(std::string* failure = nullptr);
};
