// SPDX-License-Identifier: BSD-2-Clause
#include "serial/ConnectionDoctor.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "serial/PortDiscovery.h"
#include "serial/Serial.h"
#include "platform/Services.h"
#include "posix/StringsBundle.h"
#include "tests/unit/ServicesTestSupport.h"

namespace {

namespace fs = std::filesystem;
using servicestest::writeFile;

// A fixed account table and a fake /proc. The device is a plain file that belongs to the
// test's own user and group; the table names them "root" and "dialout", so no privilege is
// needed to stage any case.
class TableAccounts : public ConnectionDoctor::Accounts {
public:
    struct User {
        uid_t uid;
        std::string name;
        gid_t primary;
    };
    struct Group {
        gid_t gid;
        std::string name;
        std::vector<std::string> members;
    };
    std::vector<User> users;
    std::vector<Group> groups;

    std::optional<std::string> userName(uid_t uid) const override
    {
        for (const auto& u : users)
            if (u.uid == uid) return u.name;
        return std::nullopt;
    }
    std::optional<gid_t> primaryGroup(uid_t uid) const override
    {
        for (const auto& u : users)
            if (u.uid == uid) return u.primary;
        return std::nullopt;
    }
    std::optional<std::string> groupName(gid_t gid) const override
    {
        for (const auto& g : groups)
            if (g.gid == gid) return g.name;
        return std::nullopt;
    }
    bool listedInGroup(gid_t gid, const std::string& user) const override
    {
        for (const auto& g : groups)
            if (g.gid == gid) return std::find(g.members.begin(), g.members.end(), user) != g.members.end();
        return false;
    }
};

class ConnectionDoctorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The English texts, so that what is asserted is what the user reads.
        saved = platform::services();
        platform::services().bundle = &english;
        device = (dir.path() / "dev/ttyUSB0").string();
        writeFile(device, "");
        ::chmod(device.c_str(), 0660);
        // Root's own group would be no group to join; root may give the file another one.
        const gid_t gid = ::geteuid() == 0 ? 20 : ::getegid();
        ASSERT_EQ(::chown(device.c_str(), static_cast<uid_t>(-1), gid), 0);
        accounts.users = {{::geteuid(), "root", ::geteuid()}, {4001, "alice", 4001},
                          {4002, "bob", 4002}, {4003, "carol", gid}};
        accounts.groups = {{gid, "dialout", {"bob", "dave"}}, {4001, "alice", {}}};
        fs::create_directories(dir.path() / "proc");
    }
    void TearDown() override { platform::services() = saved; }

    ConnectionDoctor doctor(uid_t uid, std::vector<gid_t> groups = {}) const
    {
        return ConnectionDoctor({(dir.path() / "proc").string()}, {uid, std::move(groups), 555}, accounts);
    }

    void process(int pid, const std::string& name, const std::vector<std::string>& fds)
    {
        const fs::path base = dir.path() / "proc" / std::to_string(pid);
        writeFile(base / "comm", name + "\n");
        fs::create_directories(base / "fd");
        int number = 3;
        for (const auto& target : fds) fs::create_symlink(target, base / "fd" / std::to_string(number++));
    }

    platform::posix::StringsBundle english{fs::path(GPSDESK_SOURCE_DIR) / "resources",
                                           std::vector<std::string>{"en"}};
    platform::Services saved;
    servicestest::TempDir dir;
    TableAccounts accounts;
    std::string device;
};

TEST_F(ConnectionDoctorTest, PermissionDeniedSaysWhoOwnsTheDeviceAndWhatToDo)
{
    const struct {
        const char* name;
        uid_t uid;
        std::vector<gid_t> groups;
        mode_t mode;
        std::vector<std::string> wanted;
        std::vector<std::string> unwanted;
    } cases[] = {
        {"not in the group", 4001, {4001}, 0660,
         {"You (alice) may not open", "user root and group dialout, mode -rw-rw---- (660)",
          "sudo usermod -aG dialout $USER", "log out and log in again"},
         {"session started before"}},
        {"added, not logged in again", 4002, {4002}, 0660,
         {"You are in the group dialout now", "Log out and in again"}, {"usermod"}},
        {"primary group counts as membership", 4003, {4001}, 0660,
         {"session started before"}, {"usermod"}},
        {"the group itself is shut out", 4001, {}, 0600,
         {"mode -rw------- (600)", "None of your groups"}, {"usermod"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ::chmod(device.c_str(), c.mode);
        const std::string text = doctor(c.uid, c.groups).explainOpenFailure(EACCES, device);
        for (const auto& part : c.wanted) EXPECT_NE(text.find(part), std::string::npos) << text;
        for (const auto& part : c.unwanted) EXPECT_EQ(text.find(part), std::string::npos) << text;
    }
}

TEST_F(ConnectionDoctorTest, BusyNamesTheHolderAndItsRemedy)
{
    process(321, "gpsd", {"/dev/null", device});
    process(322, "ModemManager", {device});
    process(323, "gpsdesk", {device});
    process(324, "bash", {"/dev/null"});
    process(555, "gpsdesk", {device});  // ourselves
    process(326, "gpsdesk-sim", {device});

    const auto doctor = this->doctor(4001);
    const std::vector<ConnectionDoctor::Process> expected = {
        {321, "gpsd"}, {322, "ModemManager"}, {323, "gpsdesk"}};
    EXPECT_EQ(doctor.holders(device), expected);

    const std::string text = doctor.explainOpenFailure(EBUSY, device);
    const std::vector<std::string> parts = {"is held by gpsd (process 321)", "sudo systemctl stop gpsd.socket gpsd",
                             "held by ModemManager (process 322)", "sudo systemctl stop ModemManager",
                             "another GPS Desk (process 323)",
                             "use the source gpsd://localhost" + device};
    for (const std::string& part : parts)
        EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
    EXPECT_EQ(doctor.gpsdSourceFor(device), "gpsd://localhost" + device);
    EXPECT_EQ(text.find("555"), std::string::npos) << "our own descriptor is no other holder";

    const auto warning = doctor.sharedUseWarning(device);
    ASSERT_TRUE(warning);
    EXPECT_NE(warning->find("Warning: gpsd (process 321) has " + device + " open too"), std::string::npos);
}

TEST_F(ConnectionDoctorTest, HiddenHoldersFallBackToRunningServicesElseTheStaleMark)
{
    const auto doctor = this->doctor(4001);
    EXPECT_NE(doctor.explainOpenFailure(EBUSY, device).find("no running program holds it"),
              std::string::npos) << "nothing holds it: the exclusive mark outlived its owner";
    EXPECT_FALSE(doctor.sharedUseWarning(device));
    EXPECT_FALSE(doctor.gpsdSourceFor(device)) << "gpsd is not in the way: nothing to offer";

    // Another user's gpsd: its name is visible, its descriptors are not.
    writeFile(dir.path() / "proc/700/comm", "gpsd\n");
    writeFile(dir.path() / "proc/700/fd", "");
    const std::string text = doctor.explainOpenFailure(EBUSY, device);
    EXPECT_NE(text.find("gpsd (process 700) is running and is the likely holder"), std::string::npos) << text;
    EXPECT_NE(text.find("systemctl stop gpsd.socket gpsd"), std::string::npos);
    EXPECT_EQ(doctor.gpsdSourceFor(device), "gpsd://localhost" + device);
    ASSERT_TRUE(doctor.sharedUseWarning(device));
    EXPECT_NE(doctor.sharedUseWarning(device)->find("gpsd (process 700) is running and may have"),
              std::string::npos);
}

TEST_F(ConnectionDoctorTest, GoneDeviceNamesThePortsThereNowOtherErrorsTheSystemText)
{
    const fs::path sys = dir.path() / "sys";
    fs::create_directories(sys / "class/tty/ttyACM3");
    fs::create_directories(sys / "devices/usb");
    fs::create_directory_symlink(sys / "devices/usb", sys / "class/tty/ttyACM3/device");
    fs::create_symlink("/dev/null", dir.path() / "dev/ttyACM3");
    PortDiscovery::setDeviceRoots(sys.string(), (dir.path() / "dev").string());
    const auto doctor = this->doctor(4001);
    const std::string gone = doctor.explainOpenFailure(ENOENT, "/dev/ttyUSB7");
    PortDiscovery::setDeviceRoots("/sys", "/dev");
    EXPECT_NE(gone.find("/dev/ttyUSB7 is not there"), std::string::npos) << gone;
    EXPECT_NE(gone.find("Ports there now: " + (dir.path() / "dev/ttyACM3").string()), std::string::npos) << gone;

    EXPECT_EQ(doctor.explainOpenFailure(EIO, device), device + ": Input/output error");
    // A name that is there with no device behind it (/dev/tty without a controlling
    // terminal answers ENXIO) is not called gone.
    for (const int error : {ENXIO, ENODEV}) {
        const std::string empty = doctor.explainOpenFailure(error, device);
        EXPECT_EQ(empty.find("is not there"), std::string::npos) << empty;
        EXPECT_NE(empty.find(device + " is there, but no device answers"), std::string::npos) << empty;
    }
}

}  // namespace

namespace {

// The C library's database: every system has root as user and group 0.
TEST(ConnectionDoctorAccounts, SystemDatabaseKnowsRoot)
{
    const auto& accounts = ConnectionDoctor::systemAccounts();
    EXPECT_EQ(accounts.userName(0), "root");
    EXPECT_EQ(accounts.groupName(0), "root");
    EXPECT_EQ(accounts.primaryGroup(0), gid_t{0});
    EXPECT_TRUE(accounts.listedInGroup(0, "root")) << "the primary group counts";
    EXPECT_FALSE(accounts.listedInGroup(0, "no-such-user-gpsdesk"));
    EXPECT_FALSE(accounts.userName(static_cast<uid_t>(-2)).has_value());
}

}  // namespace
