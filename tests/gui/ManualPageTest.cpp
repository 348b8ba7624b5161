// The manual page names every option the program's --help names.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>

#include "platform/qt/ProgramOptions.h"

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
