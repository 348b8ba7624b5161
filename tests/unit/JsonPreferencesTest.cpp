// SPDX-License-Identifier: BSD-2-Clause
#include <chrono>
#include <cstring>
#include <functional>
#include <future>
#include <map>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "posix/JsonPreferences.h"
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

// Runs the check in a child process under another user and answers its exit code (0: the
// check held; otherwise the number of the step that failed), or -1 when the child died.
int runAs(uid_t uid, gid_t gid, const std::function<int()>& check)
{
    const pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0) _exit(100);
        _exit(check());
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

// A user id with no passwd entry, as in a container started with an arbitrary --user.
uid_t uidWithoutPasswdEntry()
{
    uid_t uid = 4000000;
    while (getpwuid(uid)) ++uid;
    return uid;
}

std::string nested(std::size_t depth)
{
    return std::string(depth, '[') + std::string(depth, ']');
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

    writeFile(dir.path() / "preferences.json.tmp-notes", "someone else's");
    JsonPreferences after(file);
    EXPECT_EQ(after.objectForKey("units"), PreferenceValue(std::int64_t{1}));
    EXPECT_EQ(after.objectForKey("rate"), PreferenceValue(std::string("4800")));
    EXPECT_FALSE(after.setAsidePath().has_value());
    // The dead writer's temporary file is gone at the next start; names not ours stay.
    EXPECT_EQ(leftovers(dir.path(), ".tmp-"), std::vector<std::string>{"preferences.json.tmp-notes"});
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

TEST(JsonPreferencesTest, WhatIsNotASmallRegularFileIsPutAsideAtOnceAndTold)
{
    struct Case {
        const char* name;
        std::function<void(const std::filesystem::path&)> plant;
        // The kind of thing expected under the ".corrupt" name afterwards.
        std::filesystem::file_type keptAs;
    };
    const Case cases[] = {
        {"nested 100,000 deep",
         [](const auto& file) { writeFile(file, "{\"deep\": " + nested(100000) + "}"); },
         std::filesystem::file_type::regular},
        {"over 1 MB", [](const auto& file) { writeFile(file, "{\"pad\": \"" + std::string(1100000, 'x') + "\"}"); },
         std::filesystem::file_type::regular},
        {"symbolic link to /dev/zero",
         [](const auto& file) { std::filesystem::create_symlink("/dev/zero", file); },
         std::filesystem::file_type::symlink},
        {"FIFO", [](const auto& file) { ASSERT_EQ(mkfifo(file.c_str(), 0600), 0); },
         std::filesystem::file_type::fifo},
        {"directory", [](const auto& file) { std::filesystem::create_directory(file); },
         std::filesystem::file_type::directory},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const auto file = dir.path() / "preferences.json";
        c.plant(file);
        // Read on another thread: a start that blocks is a failure, not a hung test.
        auto opened = std::async(std::launch::async, [&] { return std::make_unique<JsonPreferences>(file); });
        if (opened.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
            ADD_FAILURE() << "reading the preferences blocked";
            // Let a reader stuck on the FIFO go.
            close(open(file.c_str(), O_WRONLY | O_NONBLOCK));
        }
        const auto store = opened.get();
        ASSERT_EQ(store->setAsidePath(), dir.path() / "preferences.json.corrupt");
        EXPECT_EQ(std::filesystem::symlink_status(*store->setAsidePath()).type(), c.keptAs);
        EXPECT_FALSE(store->inMemoryReason().has_value());
        EXPECT_EQ(store->objectForKey("deep"), std::nullopt);
        store->setObject("units", std::int64_t{2});
        ASSERT_TRUE(store->synchronize()) << store->failureReason();
        EXPECT_EQ(JsonPreferences(file).objectForKey("units"), PreferenceValue(std::int64_t{2}));
    }
}

TEST(JsonPreferencesTest, ADeeplyNestedEntryIsKeptAndWrittenBackCompactly)
{
    TempDir dir;
    const auto file = dir.path() / "preferences.json";
    const std::string deep = nested(5000);
    writeFile(file, "{\"deep\": " + deep + ", \"units\": 1}");
    JsonPreferences store(file);
    EXPECT_FALSE(store.setAsidePath().has_value());
    EXPECT_EQ(store.objectForKey("units"), PreferenceValue(std::int64_t{1}));
    store.setObject("units", std::int64_t{2});
    ASSERT_TRUE(store.synchronize()) << store.failureReason();
    EXPECT_EQ(readFile(file), "{\n  \"deep\": " + deep + ",\n  \"units\": 2\n}\n");
}

TEST(JsonPreferencesTest, AFileItCannotReadIsNeverOverwrittenAndTheFailureSaysWhy)
{
    TempDir dir;
    const auto file = dir.path() / "private/preferences.json";
    writeFile(file, kOldFile);
    const auto check = [&file]() -> int {
        JsonPreferences store(file);
        store.setObject("units", std::int64_t{2});
        if (store.synchronize()) return 1;
        if (store.failureReason().find(std::strerror(EACCES)) == std::string::npos) return 2;
        return 0;
    };
    if (geteuid() == 0) {
        // Root reads every file: the check runs as a user who cannot.
        const passwd* nobody = getpwnam("nobody");
        if (!nobody) GTEST_SKIP() << "no user nobody";
        ASSERT_EQ(chmod(dir.path().c_str(), 0711), 0);
        ASSERT_EQ(chown(file.parent_path().c_str(), nobody->pw_uid, nobody->pw_gid), 0);
        ASSERT_EQ(chown(file.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
        ASSERT_EQ(chmod(file.c_str(), 0), 0);
        EXPECT_EQ(runAs(nobody->pw_uid, nobody->pw_gid, check), 0);
    } else {
        ASSERT_EQ(chmod(file.c_str(), 0), 0);
        EXPECT_EQ(check(), 0);
        chmod(file.c_str(), 0600);
    }
    EXPECT_EQ(readFile(file), kOldFile);
}

TEST(JsonPreferencesTest, AFolderOthersCanWriteInIsNeverReadNorWritten)
{
    TempDir dir;
    const auto shared = dir.path() / "shared/gpsdesk";
    const auto victim = dir.path() / "victim.json";
    writeFile(victim, kOldFile);
    std::filesystem::create_directories(shared);
    ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
    std::filesystem::create_symlink(victim, shared / "preferences.json");
    JsonPreferences store(shared / "preferences.json");
    ASSERT_TRUE(store.inMemoryReason().has_value());
    EXPECT_NE(store.inMemoryReason()->find("other users can write"), std::string::npos);
    EXPECT_EQ(store.objectForKey("units"), std::nullopt);
    store.setObject("units", std::int64_t{2});
    EXPECT_TRUE(store.synchronize());
    EXPECT_EQ(store.objectForKey("units"), PreferenceValue(std::int64_t{2}));
    EXPECT_EQ(readFile(victim), kOldFile);
    EXPECT_TRUE(std::filesystem::is_symlink(shared / "preferences.json"));
}

TEST(JsonPreferencesTest, WithoutAHomeOnlyAPrivateRuntimeFolderIsUsed)
{
    if (geteuid() != 0) GTEST_SKIP() << "needs root to become a user without a passwd entry";
    TempDir dir;
    ASSERT_EQ(chmod(dir.path().c_str(), 0711), 0);
    const uid_t user = uidWithoutPasswdEntry();
    // Planted by someone else in a folder everyone can write in, as /tmp.
    const auto shared = dir.path() / "shared";
    std::filesystem::create_directories(shared / "gpsdesk");
    ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
    const auto victim = dir.path() / "victim.json";
    writeFile(victim, kOldFile);
    std::filesystem::create_symlink(victim, shared / "gpsdesk/preferences.json");
    const auto runtime = dir.path() / "runtime";
    std::filesystem::create_directories(runtime);
    ASSERT_EQ(chown(runtime.c_str(), user, user), 0);

    const int result = runAs(user, user, [&]() -> int {
        const auto pathWith = [](std::string runtimeDir) {
            return JsonPreferences::defaultPath([runtimeDir](const char* name) -> const char* {
                return std::string(name) == "XDG_RUNTIME_DIR" ? runtimeDir.c_str() : nullptr;
            });
        };
        if (pathWith(shared) || pathWith("") || pathWith("/nonexistent")) return 1;
        if (pathWith(runtime) != runtime / "gpsdesk/preferences.json") return 2;
        if (chmod(runtime.c_str(), 0770) != 0 || pathWith(runtime)) return 3;

        JsonPreferences inMemory(std::nullopt);
        if (!inMemory.inMemoryReason()) return 4;
        inMemory.setObject("units", std::int64_t{2});
        if (!inMemory.synchronize() || inMemory.objectForKey("units") != PreferenceValue(std::int64_t{2}))
            return 5;
        // The planted folder is not this user's: neither read nor written through.
        JsonPreferences planted(shared / "gpsdesk/preferences.json");
        if (!planted.inMemoryReason()) return 6;
        planted.setObject("units", std::int64_t{2});
        planted.synchronize();
        return 0;
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(readFile(victim), kOldFile);
}

TEST(JsonPreferencesTest, AFullDiskFailsTheSaveWithItsReasonAndKeepsTheOldFile)
{
    if (geteuid() != 0) GTEST_SKIP() << "needs root to mount a small tmpfs";
    TempDir dir;
    if (mount("tmpfs", dir.path().c_str(), "tmpfs", 0, "size=64k,mode=0700") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
    const auto file = dir.path() / "preferences.json";
    writeFile(file, kOldFile);
    {
        JsonPreferences store(file);
        store.setObject("serialPort", std::string(200000, 'x'));
        EXPECT_FALSE(store.synchronize());
        EXPECT_NE(store.failureReason().find(std::strerror(ENOSPC)), std::string::npos)
            << store.failureReason();
    }
    EXPECT_EQ(readFile(file), kOldFile);
    EXPECT_TRUE(leftovers(dir.path(), ".tmp-").empty());
    umount2(dir.path().c_str(), MNT_DETACH);
}

}  // namespace
