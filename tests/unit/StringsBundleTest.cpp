// SPDX-License-Identifier: BSD-2-Clause
#include <filesystem>
#include <map>
#include <set>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "posix/StringsBundle.h"
#include "tests/unit/ServicesTestSupport.h"

namespace {

using platform::posix::StringsBundle;

StringsBundle::Environment environment(std::map<std::string, std::string> values)
{
    return [values = std::move(values)](const char* name) -> const char* {
        const auto found = values.find(name);
        return found == values.end() ? nullptr : found->second.c_str();
    };
}

TEST(StringsBundleTest, UserLanguagesFollowTheLocaleVariables)
{
    struct Case {
        const char* name;
        std::map<std::string, std::string> env;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"LANG with codeset", {{"LANG", "de_DE.UTF-8"}}, {"de_DE", "de"}},
        {"modifier dropped", {{"LANG", "de_AT.UTF-8@euro"}}, {"de_AT", "de"}},
        {"LANGUAGE list comes first",
         {{"LANGUAGE", "fr:de_CH"}, {"LANG", "en_GB.UTF-8"}},
         {"fr", "de_CH", "de", "en_GB", "en"}},
        {"LC_ALL overrides the rest",
         {{"LC_ALL", "de_DE.UTF-8"}, {"LC_MESSAGES", "fr_FR"}, {"LANG", "it_IT"}},
         {"de_DE", "de"}},
        {"LC_MESSAGES before LANG", {{"LC_MESSAGES", "fr_FR"}, {"LANG", "it_IT"}}, {"fr_FR", "fr"}},
        {"empty LC_ALL does not count", {{"LC_ALL", ""}, {"LANG", "de_DE"}}, {"de_DE", "de"}},
        {"C and POSIX choose nothing", {{"LANGUAGE", "POSIX"}, {"LANG", "C.UTF-8"}}, {}},
        {"no path characters", {{"LANGUAGE", "../../etc/passwd:de"}}, {"de"}},
        {"nothing set", {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(StringsBundle::userLanguages(environment(c.env)), c.expected);
    }
}

TEST(StringsBundleTest, LooksUpTheWantedLanguagesThenEnglish)
{
    servicestest::TempDir dir;
    servicestest::writeFile(dir.path() / "strings/de.json", R"({"A": "de-a", "N": 5})");
    servicestest::writeFile(dir.path() / "strings/fr.json", "{ not json");
    servicestest::writeFile(dir.path() / "strings/en.json", R"({"A": "en-a", "B": "en-b", "N": "en-n"})");
    StringsBundle bundle(dir.path(), {"fr", "de_DE", "de"});

    EXPECT_EQ(bundle.loadedLanguages(), (std::vector<std::string>{"de", "en"}));
    EXPECT_EQ(bundle.objectForInfoDictionaryKey("A"), "de-a");
    EXPECT_EQ(bundle.objectForInfoDictionaryKey("B"), "en-b");
    EXPECT_EQ(bundle.objectForInfoDictionaryKey("N"), "en-n");  // a non-text entry is skipped
    EXPECT_EQ(bundle.objectForInfoDictionaryKey("C"), std::nullopt);
}

TEST(StringsBundleTest, ResourcesAreNamesInsideTheFolder)
{
    servicestest::TempDir dir;
    servicestest::writeFile(dir.path() / "res/splash.png", "png");
    servicestest::writeFile(dir.path() / "res/help/index.html", "<html>");
    servicestest::writeFile(dir.path() / "secret", "x");
    StringsBundle bundle(dir.path() / "res", std::vector<std::string>{});
    EXPECT_EQ(bundle.pathForResource("splash.png"), (dir.path() / "res/splash.png").string());
    EXPECT_EQ(bundle.pathForResource("help/index.html"),
              (dir.path() / "res/help/index.html").string());
    for (const char* name : {"missing.png", "../secret", "help/../../secret", "/etc/passwd", "",
                             "..", "strings"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(bundle.pathForResource(name), std::nullopt);
    }
}

TEST(StringsBundleTest, ATranslatedResourceIsFoundBeforeTheOriginal)
{
    servicestest::TempDir dir;
    servicestest::writeFile(dir.path() / "res/strings/de.json", R"({"A": "de-a"})");
    servicestest::writeFile(dir.path() / "res/strings/en.json", R"({"A": "en-a"})");
    servicestest::writeFile(dir.path() / "res/help/index.html", "<html lang=en>");
    servicestest::writeFile(dir.path() / "res/help/index.de.html", "<html lang=de>");
    servicestest::writeFile(dir.path() / "res/splash.png", "png");
    const StringsBundle german(dir.path() / "res", {"de_DE", "de"});
    EXPECT_EQ(german.pathForResource("help/index.html"), (dir.path() / "res/help/index.de.html").string());
    // Nothing translated: the original.
    EXPECT_EQ(german.pathForResource("splash.png"), (dir.path() / "res/splash.png").string());
    const StringsBundle english(dir.path() / "res", {"en_GB"});
    EXPECT_EQ(english.pathForResource("help/index.html"), (dir.path() / "res/help/index.html").string());
}

TEST(StringsBundleTest, FindsTheConfiguredFolderElseTheSourceTree)
{
    servicestest::TempDir dir;
    servicestest::writeFile(dir.path() / "mine/strings/en.json", "{}");
    std::filesystem::create_directories(dir.path() / "empty");

    EXPECT_EQ(StringsBundle::findResourcesFolder(
                  environment({{"GPSDESK_RESOURCES", (dir.path() / "mine").string()}})),
              (dir.path() / "mine").lexically_normal());
    // A configured folder without tables is passed over.
    const auto fallback = StringsBundle::findResourcesFolder(
        environment({{"GPSDESK_RESOURCES", (dir.path() / "empty").string()}}));
    ASSERT_TRUE(fallback.has_value());
    EXPECT_TRUE(std::filesystem::exists(*fallback / "strings/en.json"));
}

// The keys a JSON text defines more than once in one object. The parsed table keeps only
// the last of them without a word, so the text itself is read event by event.
std::vector<std::string> duplicateKeys(const std::string& text)
{
    using Event = nlohmann::json::parse_event_t;
    std::vector<std::set<std::string>> open;
    std::vector<std::string> duplicates;
    const auto parsed = nlohmann::json::parse(
        text,
        [&](int, Event event, nlohmann::json& value) {
            if (event == Event::object_start) open.emplace_back();
            if (event == Event::object_end) open.pop_back();
            if (event == Event::key && !open.back().insert(value.get<std::string>()).second)
                duplicates.push_back(value.get<std::string>());
            return true;
        },
        false);
    if (parsed.is_discarded()) duplicates.push_back("(not JSON)");
    return duplicates;
}

TEST(StringsBundleTest, EveryTableDefinesEachKeyOnce)
{
    EXPECT_EQ(duplicateKeys(R"({"A": "1", "B": {"A": "2"}, "A": "3"})"),
              std::vector<std::string>{"A"});
    EXPECT_EQ(duplicateKeys("{ not json"), std::vector<std::string>{"(not JSON)"});

    const auto folder = std::filesystem::path(GPSDESK_SOURCE_DIR) / "resources/strings";
    int tables = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() != ".json") continue;
        SCOPED_TRACE(entry.path().filename().string());
        ++tables;
        EXPECT_EQ(duplicateKeys(servicestest::readFile(entry.path())), std::vector<std::string>{});
    }
    EXPECT_GE(tables, 2);
}

}  // namespace
