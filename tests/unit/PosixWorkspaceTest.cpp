// SPDX-License-Identifier: BSD-2-Clause
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "posix/PosixWorkspace.h"
#include "tests/unit/ServicesTestSupport.h"

namespace {

using platform::posix::PosixWorkspace;
using servicestest::eventually;
using servicestest::readFile;
using servicestest::TempDir;
using servicestest::writeFile;

class PosixWorkspaceTest : public ::testing::Test {
protected:
    PosixWorkspaceTest()
        : marker(dir.path() / "marker"),
          opener(dir.path() / "opener"),
          workspace(dir.path() / "mountinfo", "alice", opener.string())
    {
        // Both record their arguments, one per line, written whole.
        program(opener, "opened");
    }

    void program(const std::filesystem::path& path, const std::string& tag)
    {
        const std::string out = marker.string();
        writeFile(path, "#!/bin/sh\nprintf '" + tag + "\\n' > '" + out + ".tmp'\n" +
                            "for a in \"$@\"; do printf '%s\\n' \"$a\"; done >> '" + out +
                            ".tmp'\nmv '" + out + ".tmp' '" + out + "'\n");
        chmod(path.c_str(), 0755);
    }

    std::string ran()
    {
        if (!eventually([&] { return std::filesystem::exists(marker); })) return "nothing ran";
        const std::string text = readFile(marker);
        std::filesystem::remove(marker);
        return text;
    }

    TempDir dir;
    std::filesystem::path marker;
    std::filesystem::path opener;
    PosixWorkspace workspace;
};

TEST_F(PosixWorkspaceTest, ExecutableMeansAccessibleForExecution)
{
    writeFile(dir.path() / "plain", "x");
    chmod((dir.path() / "plain").c_str(), 0644);
    EXPECT_TRUE(workspace.isExecutableFileAtPath(opener.string()));
    EXPECT_TRUE(workspace.isExecutableFileAtPath(dir.path().string()));  // an application folder
    EXPECT_FALSE(workspace.isExecutableFileAtPath((dir.path() / "plain").string()));
    EXPECT_FALSE(workspace.isExecutableFileAtPath((dir.path() / "missing").string()));
    EXPECT_FALSE(workspace.isExecutableFileAtPath(""));
}

TEST_F(PosixWorkspaceTest, LaunchesFilesAppRunFoldersAndHandsOtherFoldersToTheOpener)
{
    const auto file = dir.path() / "Corvane";
    program(file, "file");
    EXPECT_TRUE(workspace.launchApplication(file.string()));
    EXPECT_EQ(ran(), "file\n");

    const auto appDir = dir.path() / "Corvane.app";
    program(appDir / "AppRun", "apprun");
    EXPECT_TRUE(workspace.launchApplication(appDir.string()));
    EXPECT_EQ(ran(), "apprun\n");

    const auto bundle = dir.path() / "Other.app";
    std::filesystem::create_directories(bundle);
    EXPECT_TRUE(workspace.launchApplication(bundle.string()));
    EXPECT_EQ(ran(), "opened\n" + bundle.string() + "\n");
}

TEST_F(PosixWorkspaceTest, RefusesWhatCannotBeLaunched)
{
    writeFile(dir.path() / "notes.txt", "x");
    EXPECT_FALSE(workspace.launchApplication((dir.path() / "notes.txt").string()));
    EXPECT_FALSE(workspace.launchApplication((dir.path() / "missing").string()));
    EXPECT_FALSE(workspace.launchApplication(""));
    PosixWorkspace noOpener(dir.path() / "mountinfo", "alice", (dir.path() / "no-opener").string());
    EXPECT_FALSE(noOpener.launchApplication(dir.path().string()));
    EXPECT_FALSE(std::filesystem::exists(marker));
}

TEST_F(PosixWorkspaceTest, OpensAddressesThroughTheOpener)
{
    EXPECT_TRUE(workspace.openURL("https://example.org/a b?c=1&d=$(x)"));
    EXPECT_EQ(ran(), "opened\nhttps://example.org/a b?c=1&d=$(x)\n");
    EXPECT_FALSE(workspace.openURL("--help"));
    EXPECT_FALSE(workspace.openURL(""));
}

TEST_F(PosixWorkspaceTest, RemovableMediaAreTheUsersAndSharedMountsInMountOrder)
{
    writeFile(dir.path() / "mountinfo",
              "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
              "40 22 0:30 / /media/alice rw shared:2 - tmpfs tmpfs rw\n"
              "41 40 8:17 / /media/alice/GARMIN\\040STICK rw shared:3 - vfat /dev/sdb1 rw\n"
              "42 22 8:33 / /mnt/backup rw shared:4 - ext4 /dev/sdc1 rw\n"
              "43 22 8:49 / /run/media/bob/BOBS rw shared:5 - vfat /dev/sdd1 rw\n"
              "44 22 8:65 / /media/CDROM rw shared:6 - iso9660 /dev/sr0 ro\n"
              "45 22 8:81 / /run/media/alice/CARD rw shared:7 - exfat /dev/sde1 rw\n"
              "46 41 8:97 / /media/alice/GARMIN\\040STICK rw shared:8 - vfat /dev/sdf1 rw\n"
              "garbage\n");
    EXPECT_EQ(workspace.mountedRemovableMedia(),
              (std::vector<std::string>{"/media/alice/GARMIN STICK", "/media/CDROM",
                                        "/run/media/alice/CARD"}));
    PosixWorkspace noTable(dir.path() / "missing", "alice", opener.string());
    EXPECT_TRUE(noTable.mountedRemovableMedia().empty());
}

}  // namespace
