// SPDX-License-Identifier: BSD-2-Clause
#include "posix/StringsBundle.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <utility>

#include <nlohmann/json.hpp>

namespace platform::posix {

namespace {

// A language tag becomes part of a file name, so only letters, '_' and '-' are allowed.
bool isPlainLanguageTag(const std::string& tag)
{
    return !tag.empty() && std::all_of(tag.begin(), tag.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '-';
    });
}

void addLocale(std::string locale, std::vector<std::string>& out)
{
    // ll_CC.codeset@modifier: the codeset and modifier do not choose a table.
    locale = locale.substr(0, locale.find_first_of(".@"));
    if (locale == "C" || locale == "POSIX" || !isPlainLanguageTag(locale)) return;
    const auto add = [&out](const std::string& tag) {
        if (std::find(out.begin(), out.end(), tag) == out.end()) out.push_back(tag);
    };
    add(locale);
    const auto separator = locale.find_first_of("_-");
    if (separator != std::string::npos && separator > 0) add(locale.substr(0, separator));
}

std::optional<std::map<std::string, std::string>> readTable(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const nlohmann::json json = nlohmann::json::parse(text, nullptr, false);
    if (!json.is_object()) return std::nullopt;
    std::map<std::string, std::string> table;
    for (const auto& [key, value] : json.items())
        if (value.is_string()) table.emplace(key, value.get<std::string>());
    return table;
}

bool hasStringTables(const std::filesystem::path& folder)
{
    std::error_code error;
    return std::filesystem::is_directory(folder / "strings", error);
}

}  // namespace

StringsBundle::StringsBundle(std::filesystem::path resourcesFolder,
                             const std::vector<std::string>& languages)
    : m_folder(std::move(resourcesFolder))
{
    std::vector<std::string> order;
    for (const auto& language : languages)
        if (isPlainLanguageTag(language) && language != "en") order.push_back(language);
    order.push_back("en");
    for (const auto& language : order) {
        if (std::find(m_loaded.begin(), m_loaded.end(), language) != m_loaded.end()) continue;
        if (auto table = readTable(m_folder / "strings" / (language + ".json"))) {
            m_tables.push_back(std::move(*table));
            m_loaded.push_back(language);
        }
    }
}

StringsBundle::StringsBundle(std::filesystem::path resourcesFolder)
    : StringsBundle(std::move(resourcesFolder), userLanguages())
{
}

std::optional<std::string> StringsBundle::objectForInfoDictionaryKey(const std::string& key) const
{
    for (const auto& table : m_tables) {
        const auto found = table.find(key);
        if (found != table.end()) return found->second;
    }
    return std::nullopt;
}

std::optional<std::string> StringsBundle::pathForResource(const std::string& name) const
{
    // A relative name inside the folder ("help/index.html"); it never reaches outside it.
    const std::filesystem::path relative(name);
    if (name.empty() || relative.is_absolute()) return std::nullopt;
    for (const auto& part : relative)
        if (part == "..") return std::nullopt;
    std::error_code error;
    // A translated resource sits beside the original with the language before the extension
    // ("help/index.de.html"); the user's languages first, the original last.
    for (const auto& language : m_loaded) {
        if (language == "en") continue;
        std::filesystem::path translated = relative;
        translated.replace_filename(relative.stem().string() + "." + language + relative.extension().string());
        const std::filesystem::path path = m_folder / translated;
        if (std::filesystem::is_regular_file(path, error)) return path.string();
    }
    const std::filesystem::path path = m_folder / relative;
    if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
    return path.string();
}

std::vector<std::string> StringsBundle::userLanguages(const Environment& environment)
{
    std::vector<std::string> languages;
    const auto value = [&environment](const char* name) -> std::string {
        const char* text = environment(name);
        return text ? text : "";
    };
    const std::string list = value("LANGUAGE");
    for (std::size_t start = 0; start <= list.size();) {
        const auto end = std::min(list.find(':', start), list.size());
        addLocale(list.substr(start, end - start), languages);
        start = end + 1;
    }
    // LC_ALL overrides LC_MESSAGES, which overrides LANG: only the first one set counts.
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const std::string locale = value(name);
        if (locale.empty()) continue;
        addLocale(locale, languages);
        break;
    }
    return languages;
}

std::optional<std::filesystem::path> StringsBundle::findResourcesFolder(
    const Environment& environment)
{
    std::vector<std::filesystem::path> candidates;
    if (const char* configured = environment("GPSDESK_RESOURCES"); configured && *configured)
        candidates.emplace_back(configured);
    std::error_code error;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
        const std::filesystem::path dir = exe.parent_path();
        candidates.push_back(dir / ".." / "share" / "gpsdesk" / "resources");
        candidates.push_back(dir / "resources");
    }
#ifdef GPSDESK_SOURCE_DIR
    candidates.push_back(std::filesystem::path(GPSDESK_SOURCE_DIR) / "resources");
#endif
    for (const auto& candidate : candidates)
        if (hasStringTables(candidate)) return candidate.lexically_normal();
    return std::nullopt;
}

}  // namespace platform::posix
