#include <map>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/posix/JsonPreferences.h"
#include "tests/unit/ServicesTestSupport.h"

namespace {

using platform::PreferenceValue;
using platform::posix::JsonPreferences;
using servicestest::readFile;
using servicestest::TempDir;
using servicestest::writeFile;

const std::string kOldFile = "{\n  \"rate\": \"4800\",\n  \"units\": 1\n}\n";

std::vector<std::string> leftovers(const std::filesystem::path& folder, const std::string& marker)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().filename().string().find(marker) != std::string::npos)
            names.push_back(entry.path().filename().string());
    return names;
}

TEST(JsonPreferencesTest, DefaultPathFollowsXdgConfigHome)
{
    struct Case {
        const char* name;
        std::map<std::string, std::string> env;
        const char* expected;
    };
    const Case cases[] = {
        {"XDG set", {{"XDG_CONFIG_HOME", "/x/cfg"}, {"HOME", "/home/a"}}, "/x/cfg/gpsdesk/preferences.json"},
        {"XDG unset", {{"HOME", "/home/a"}}, "/home/a/.config/gpsdesk/preferences.json"},
        {"XDG relative is ignored", {{"XDG_CONFIG_HOME", "cfg"}, {"HOME", "/home/a"}},
         "/home/a/.config/gpsdesk/preferences.json"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto env = c.env;
        EXPECT_EQ(JsonPreferences::defaultPath([&env](const char* name) -> const char* {
                      const auto found = env.find(name);
                      return found == env.end() ? nullptr : found->second.c_str();
                  }),
                  c.expected);
    }
}

TEST(JsonPreferencesTest, StoresTypedJsonInAPrivateFolderAndKeepsEntriesItCannotRepresent)
{
    TempDir dir;
    const auto file = dir.path() / "a/b/preferences.json";
    writeFile(file, R"({"other": [1, 2], "gone": null, "big": 18446744073709551615})");
    JsonPreferences store(file);
    EXPECT_EQ(store.objectForKey("other"), std::nullopt);
    EXPECT_EQ(store.objectForKey("big"), PreferenceValue(18446744073709551615.0));
    store.setObject("rate", std::string("4800"));
    store.setObject("units", std::int64_t{2});
    store.setObject("gone", std::string("back"));
    store.setObject("port", std::string("/dev/tty\xff" "USB0"));  // not UTF-8
    ASSERT_TRUE(store.synchronize());

    const auto json = nlohmann::json::parse(readFile(file));
    EXPECT_TRUE(json["rate"].is_string());
    EXPECT_TRUE(json["units"].is_number_integer());
    EXPECT_EQ(json["other"], nlohmann::json::array({1, 2}));
    EXPECT_EQ(json["gone"], "back");
    EXPECT_TRUE(json["port"].is_string());
    EXPECT_TRUE(leftovers(file.parent_path(), ".tmp-").empty());

    std::filesystem::remove_all(dir.path() / "a");
    JsonPreferences fresh(file);
    fresh.setObject("units", std::int64_t{0});
    ASSERT_TRUE(fresh.synchronize());
    struct stat info {};
    ASSERT_EQ(stat((dir.path() / "a/b").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST(JsonPreferencesTest, ACrashBeforeTheRenameLeavesThePreviousFileIntact)
{
    TempDir dir;
    const auto file = dir.path() / "preferences.json";
    writeFile(file, kOldFile);

    // The child dies for real between writing the new file and renaming it.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        JsonPreferences store(file);
        store.setObject("units", std::int64_t{2});
        store.setBeforeRenameHook([](const std::filesystem::path&) -> bool { _exit(42); });
        store.synchronize();
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 42);

    EXPECT_EQ(readFile(file), kOldFile);
    const auto temporaries = leftovers(dir.path(), ".tmp-");
    ASSERT_EQ(temporaries.size(), 1u);  // the new text had been written in full
    EXPECT_EQ(nlohmann::json::parse(readFile(dir.path() / temporaries[0]))["units"], 2);

    JsonPreferences after(file);
    EXPECT_EQ(after.objectForKey("units"), PreferenceValue(std::int64_t{1}));
    EXPECT_EQ(after.objectForKey("rate"), PreferenceValue(std::string("4800")));
    EXPECT_FALSE(after.setAsidePath().has_value());
}

TEST(JsonPreferencesTest, AnUnparseableFileIsKeptAsideAndReadsStartEmpty)
{
    TempDir dir;
    const auto file = dir.path() / "preferences.json";
    for (const char* broken : {"{ \"units\": 1,", "[1, 2]"}) {
        SCOPED_TRACE(broken);
        writeFile(file, broken);
        JsonPreferences store(file);
        EXPECT_EQ(store.objectForKey("units"), std::nullopt);
        ASSERT_TRUE(store.setAsidePath().has_value());
        EXPECT_EQ(readFile(*store.setAsidePath()), broken);
        EXPECT_FALSE(std::filesystem::exists(file));
        store.setObject("units", std::int64_t{2});
        ASSERT_TRUE(store.synchronize());
        EXPECT_EQ(JsonPreferences(file).objectForKey("units"), PreferenceValue(std::int64_t{2}));
    }
    // The second broken file did not overwrite the first one kept aside.
    EXPECT_EQ(readFile(dir.path() / "preferences.json.corrupt"), "{ \"units\": 1,");
    EXPECT_EQ(readFile(dir.path() / "preferences.json.corrupt.1"), "[1, 2]");
}

TEST(JsonPreferencesTest, AFileItCannotReadIsNeverOverwritten)
{
    if (geteuid() == 0) GTEST_SKIP() << "root reads every file";
    TempDir dir;
    const auto file = dir.path() / "preferences.json";
    writeFile(file, kOldFile);
    chmod(file.c_str(), 0);
    JsonPreferences store(file);
    store.setObject("units", std::int64_t{2});
    EXPECT_FALSE(store.synchronize());
    chmod(file.c_str(), 0600);
    EXPECT_EQ(readFile(file), kOldFile);
}

TEST(JsonPreferencesTest, SavingThroughASymbolicLinkUpdatesTheLinkedFile)
{
    TempDir dir;
    const auto target = dir.path() / "dotfiles/preferences.json";
    const auto link = dir.path() / "config/preferences.json";
    writeFile(target, kOldFile);
    std::filesystem::create_directories(link.parent_path());
    std::filesystem::create_symlink(target, link);
    JsonPreferences store(link);
    EXPECT_EQ(store.objectForKey("units"), PreferenceValue(std::int64_t{1}));
    store.setObject("units", std::int64_t{2});
    ASSERT_TRUE(store.synchronize());
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(nlohmann::json::parse(readFile(target))["units"], 2);
}

}  // namespace
