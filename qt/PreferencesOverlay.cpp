// SPDX-License-Identifier: BSD-2-Clause
#include "qt/PreferencesOverlay.h"

namespace qtplatform {

PreferencesOverlay::PreferencesOverlay(platform::Preferences& underlying,
                                       std::map<std::string, platform::PreferenceValue> overlaid)
    : m_underlying(underlying), m_overlaid(std::move(overlaid))
{
}

std::optional<platform::PreferenceValue> PreferencesOverlay::objectForKey(
    const std::string& key) const
{
    {
        std::lock_guard lock(m_mutex);
        if (const auto found = m_overlaid.find(key); found != m_overlaid.end()) return found->second;
    }
    return m_underlying.objectForKey(key);
}

void PreferencesOverlay::setObject(const std::string& key, const platform::PreferenceValue& value)
{
    {
        std::lock_guard lock(m_mutex);
        if (const auto found = m_overlaid.find(key); found != m_overlaid.end()) {
            found->second = value;
            return;
        }
    }
    m_underlying.setObject(key, value);
}

bool PreferencesOverlay::synchronize()
{
    return m_underlying.synchronize();
}

std::string PreferencesOverlay::failureReason() const
{
    return m_underlying.failureReason();
}

}  // namespace qtplatform
