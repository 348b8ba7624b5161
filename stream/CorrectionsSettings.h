// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <string>

#include "platform/Preferences.h"

struct SourceUrl;

// What the corrections need from the preferences. The password is not among them: it lives
// in the secret store under secretName().
struct CorrectionsSettings {
    static constexpr const char* kCasterKey = "NtripURL";        // text
    static constexpr const char* kGgaSecondsKey = "NtripGgaSeconds";  // integer
    static constexpr const char* kSourceKey = "SourceURL";       // text; empty: the serial port
    static constexpr int kDefaultGgaSeconds = 10;
    // Longer than a caster's GGA patience is no use, shorter floods it.
    static constexpr int kMinGgaSeconds = 1;
    static constexpr int kMaxGgaSeconds = 600;

    std::string casterUrl;  // ntrip://USER@HOST[:PORT]/MOUNT or ntrips://...; empty: off
    int ggaSeconds = kDefaultGgaSeconds;

    static CorrectionsSettings load(const platform::Preferences& preferences);
    void save(platform::Preferences& preferences) const;
    // The secret store's name for the password of this caster and user.
    static std::string secretName(const SourceUrl& url);
};
