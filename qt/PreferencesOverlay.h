// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <map>
#include <mutex>

#include "platform/Preferences.h"

namespace qtplatform {

// The user's preferences with some keys answered from memory instead. Used for the
// simulated receiver: the program starts on the simulator's port as if the user had chosen
// it, and the user's own port and rate in the file stay as they were, whatever is saved.
// Every other key goes to the store underneath (not owned).
class PreferencesOverlay : public platform::Preferences {
public:
    PreferencesOverlay(platform::Preferences& underlying,
                       std::map<std::string, platform::PreferenceValue> overlaid);

    std::optional<platform::PreferenceValue> objectForKey(const std::string& key) const override;
    void setObject(const std::string& key, const platform::PreferenceValue& value) override;
    bool synchronize() override;
    std::string failureReason() const override;

private:
    platform::Preferences& m_underlying;
    mutable std::mutex m_mutex;
    std::map<std::string, platform::PreferenceValue> m_overlaid;
};

}  // namespace qtplatform
