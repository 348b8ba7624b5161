// SPDX-License-Identifier: BSD-2-Clause
#include "stream/CorrectionsSettings.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <variant>

#include "sources/SourceUrl.h"

namespace {

std::optional<std::string> textOf(const platform::Preferences& preferences, const char* key)
{
    const auto value = preferences.objectForKey(key);
    const auto* text = value ? std::get_if<std::string>(&*value) : nullptr;
    return text ? std::optional<std::string>(*text) : std::nullopt;
}

}  // namespace

CorrectionsSettings CorrectionsSettings::load(const platform::Preferences& preferences)
{
    CorrectionsSettings settings;
    settings.casterUrl = textOf(preferences, kCasterKey).value_or("");
    if (const auto value = preferences.objectForKey(kGgaSecondsKey))
        if (const auto* seconds = std::get_if<std::int64_t>(&*value))
            settings.ggaSeconds = static_cast<int>(std::clamp<std::int64_t>(*seconds, kMinGgaSeconds, kMaxGgaSeconds));
    return settings;
}

void CorrectionsSettings::save(platform::Preferences& preferences) const
{
    preferences.setObject(kCasterKey, casterUrl);
    preferences.setObject(kGgaSecondsKey, static_cast<std::int64_t>(std::clamp(ggaSeconds, kMinGgaSeconds, kMaxGgaSeconds)));
}

std::string CorrectionsSettings::secretName(const SourceUrl& url)
{
    return "ntrip:" + url.user + "@" + url.hostAndPort();
}
