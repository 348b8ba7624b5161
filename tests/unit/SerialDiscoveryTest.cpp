// SPDX-License-Identifier: BSD-2-Clause
#include "serial/PortDiscovery.h"
#include "serial/Serial.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

// A sysfs and /dev stand-in. Device nodes are links to /dev/null, a character device that
// every user can stat.
class SerialDiscoveryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = fs::temp_directory_path() / ("gpsdesk-discovery-" + std::to_string(::getpid()) + "-"
                                            + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root / "sys/class/tty");
        fs::create_directories(root / "sys/devices/platform");
        fs::create_directories(root / "dev");
        PortDiscovery::setDeviceRoots((root / "sys").string(), (root / "dev").string());
        PortDiscovery::clearExtraPorts();
    }
    void TearDown() override
    {
        PortDiscovery::setDeviceRoots("/sys", "/dev");
        PortDiscovery::clearExtraPorts();
        fs::remove_all(root);
    }

    // One tty class entry; device: give it a device link; type: write a type file; node:
    // what /dev holds under its name ("char", "file" or nothing).
    void tty(const std::string& name, bool device, const std::string& type = "",
             const std::string& node = "char")
    {
        const fs::path dir = root / "sys/class/tty" / name;
        fs::create_directories(dir);
        if (device) fs::create_directory_symlink(root / "sys/devices/platform", dir / "device");
        if (!type.empty()) std::ofstream(dir / "type") << type << "\n";
        if (node == "char") fs::create_symlink("/dev/null", root / "dev" / name);
        if (node == "file") std::ofstream(root / "dev" / name) << "";
    }

    std::string dev(const std::string& name) const { return (root / "dev" / name).string(); }

    fs::path root;
};

TEST_F(SerialDiscoveryTest, ListsRealSerialDevicesInNaturalOrder)
{
    tty("ttyUSB10", true);
    tty("ttyUSB2", true);         // USB adapter
    tty("ttyACM0", true);         // CDC-ACM receiver
    tty("ttyS0", true, "0");      // phantom on-board port
    tty("ttyS1", true, "4");      // real 16550A
    tty("tty1", false);           // virtual console
    tty("ptmx", false);
    tty("rfcomm0", false);        // Bluetooth link: no device, still a port
    tty("ttyUSB1", true, "", "none");  // unplugged between the two reads
    tty("ttyUSB3", true, "", "file");  // not a device node

    const std::vector<std::string> expected = {
        dev("rfcomm0"), dev("ttyACM0"), dev("ttyS1"), dev("ttyUSB2"), dev("ttyUSB10"),
    };
    EXPECT_EQ(PortDiscovery::listPorts().value_or(std::vector<std::string>{}), expected);

}

TEST_F(SerialDiscoveryTest, ExtraPortsFollowTheDiscoveredOnesWithoutDuplicates)
{
    tty("ttyUSB0", true);
    PortDiscovery::addExtraPort("/tmp/gpsdesk-virtual");
    PortDiscovery::addExtraPort(dev("ttyUSB0"));
    PortDiscovery::addExtraPort("/dev/pts/7");
    PortDiscovery::addExtraPort("/tmp/gpsdesk-virtual");
    const std::vector<std::string> expected = {dev("ttyUSB0"), "/tmp/gpsdesk-virtual", "/dev/pts/7"};
    EXPECT_EQ(PortDiscovery::listPorts().value_or(std::vector<std::string>{}), expected);

    PortDiscovery::clearExtraPorts();
    EXPECT_EQ(PortDiscovery::listPorts()->size(), 1u);
}

TEST_F(SerialDiscoveryTest, EmptyAndUnreadableTrees)
{
    const auto none = PortDiscovery::listPorts();
    ASSERT_TRUE(none.has_value());
    EXPECT_TRUE(none->empty());

    fs::remove_all(root / "sys/class");
    EXPECT_FALSE(PortDiscovery::listPorts().has_value()) << "no tty class: nothing, not an empty list";

    // A container without sysfs can still use the ports it was given.
    PortDiscovery::addExtraPort("/dev/pts/3");
    EXPECT_EQ(PortDiscovery::listPorts().value_or(std::vector<std::string>{}),
              std::vector<std::string>{"/dev/pts/3"});
}

}  // namespace
