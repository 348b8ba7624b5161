// SPDX-License-Identifier: BSD-2-Clause
// The manual page names every option the program's --help names, and every place a user
// reads about the program names every feature it has.
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "headless/ProgramOptions.h"

TEST(ManualPageTest, CoversEveryOptionOfTheUsage)
{
    std::ifstream file(std::string(GPSDESK_SOURCE_DIR) + "/resources/gpsdesk.1");
    ASSERT_TRUE(file) << "resources/gpsdesk.1";
    const std::string page{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};

    const std::string usage = qtplatform::ProgramOptions::usage("gpsdesk");
    const std::regex option("--[a-z][a-z-]*");
    std::set<std::string> options;
    for (auto match = std::sregex_iterator(usage.begin(), usage.end(), option);
         match != std::sregex_iterator(); ++match)
        options.insert(match->str());
    ASSERT_GE(options.size(), 6u);
    for (const std::string& name : options) {
        // roff writes a hyphen of an option as "\-".
        const std::string escaped = std::regex_replace(name, std::regex("-"), "\\-");
        EXPECT_NE(page.find(escaped), std::string::npos) << name << " is not in gpsdesk(1)";
    }
}

namespace {

std::string lowered(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string sourceFile(const std::string& path)
{
    std::ifstream file(std::string(GPSDESK_SOURCE_DIR) + "/" + path);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

}  // namespace

TEST(ManualPageTest, HelpPagesUsageAndManualNameEveryFeature)
{
    // roff's escaped hyphens and plus signs read as plain ones here.
    const std::string manual = std::regex_replace(sourceFile("resources/gpsdesk.1"), std::regex("\\\\-"), "-");
    const struct {
        const char* name;
        std::string text;
        std::vector<std::string> features;
    } documents[] = {
        {"help/index.html", sourceFile("resources/help/index.html"),
         {"six panes", "satellites", "settings", "monitor", "overview", "receiver test", "share",
          "record", "replay", "gpx", "ctrl+k", "ctrl+4", "f1", "ctrl+q", "--simulate", "--headless"}},
        {"help/index.de.html", sourceFile("resources/help/index.de.html"),
         {"sechs bereiche", "satelliten", "einstellungen", "rohdaten", "Übersicht", "empfängertest",
          "teilen", "aufzeichnen", "wiedergeben", "gpx", "strg+k", "strg+4", "f1", "strg+q",
          "--simulate", "--headless"}},
        {"--help", qtplatform::ProgramOptions::usage("gpsdesk"),
         {"six panes", "satellites", "settings", "monitor", "overview", "receiver test", "share",
          "record", "replay", "gpx", "ctrl+k", "f1", "ctrl+q"}},
        {"gpsdesk(1)", manual,
         {"six panes", "satellites", "settings", "monitor", "overview", "receiver test", "share",
          "record", "replay", "gpx", "ctrl+k", "ctrl+4", "f1", "ctrl+q"}},
    };
    for (const auto& document : documents) {
        SCOPED_TRACE(document.name);
        ASSERT_FALSE(document.text.empty());
        const std::string text = lowered(document.text);
        for (const std::string& feature : document.features)
            // (Only ASCII letters are lowered; a capital umlaut is looked for as written.)
            EXPECT_TRUE(text.find(feature) != std::string::npos ||
                        document.text.find(feature) != std::string::npos)
                << "does not mention " << feature;
        // The window has panes; drawers were another toolkit's word.
        EXPECT_EQ(text.find("drawer"), std::string::npos);
    }
}
