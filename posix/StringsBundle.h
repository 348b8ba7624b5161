// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/Alerts.h"

namespace platform::posix {

// Message texts from the JSON tables in <resources>/strings/<language>.json, looked up in the
// user's languages first and then in the base (English) table; resources by file name from
// the same folder. Read once at construction; safe to read from any thread afterwards.
class StringsBundle : public platform::Bundle {
public:
    using Environment = std::function<const char*(const char*)>;

    // languages: most wanted first, e.g. {"de_DE", "de"}; "en" is always tried last.
    StringsBundle(std::filesystem::path resourcesFolder, const std::vector<std::string>& languages);
    // The user's languages from the environment.
    explicit StringsBundle(std::filesystem::path resourcesFolder);

    std::optional<std::string> objectForInfoDictionaryKey(const std::string& key) const override;
    std::optional<std::string> pathForResource(const std::string& name) const override;

    // The languages the locale variables ask for, most wanted first: LANGUAGE (a colon list),
    // then the first set of LC_ALL, LC_MESSAGES, LANG. "de_DE.UTF-8@euro" yields "de_DE" and
    // "de"; "C" and "POSIX" yield nothing.
    static std::vector<std::string> userLanguages(const Environment& environment = ::getenv);

    // The resources folder of this installation: $GPSDESK_RESOURCES, <exe>/../share/gpsdesk/
    // resources, <exe dir>/resources, then the source tree's resources/. Nothing when none exists.
    static std::optional<std::filesystem::path> findResourcesFolder(
        const Environment& environment = ::getenv);

    // Languages whose table was found, in lookup order (the base table last).
    const std::vector<std::string>& loadedLanguages() const { return m_loaded; }

private:
    std::filesystem::path m_folder;
    std::vector<std::map<std::string, std::string>> m_tables;  // lookup order
    std::vector<std::string> m_loaded;
};

}  // namespace platform::posix
