// SPDX-License-Identifier: BSD-2-Clause
#include "core/Serial.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

class RecordingComboBox : public platform::ComboBox {
public:
    void addItemWithObjectValue(const std::string& text) override { items.push_back(text); }
    void removeAllItems() override { items.clear(); }
    int numberOfItems() const override { return static_cast<int>(items.size()); }
    void setNumberOfVisibleItems(int) override {}
    void selectItemAtIndex(int) override {}
    int indexOfSelectedItem() const override { return -1; }
    std::optional<std::string> objectValueOfSelectedItem() const override { return std::nullopt; }
    std::optional<std::string> itemObjectValueAtIndex(int index) const override
    {
        if (index < 0 || index >= numberOfItems()) return std::nullopt;
        return items[static_cast<std::size_t>(index)];
    }
    std::vector<std::string> items;
};

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
        Serial::setDeviceRoots((root / "sys").string(), (root / "dev").string());
        Serial::clearExtraPorts();
    }
    void TearDown() override
    {
        Serial::setDeviceRoots("/sys", "/dev");
        Serial::clearExtraPorts();
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
    EXPECT_EQ(Serial::listPorts().value_or(std::vector<std::string>{}), expected);

    RecordingComboBox box;
    box.addItemWithObjectValue("kept");
    EXPECT_EQ(Serial::listPorts(&box), expected.size());
    ASSERT_EQ(box.items.size(), expected.size() + 1) << "the box is appended to, not emptied";
    EXPECT_EQ(box.items[1], expected[0]);
    EXPECT_EQ(Serial::listPorts(&box), expected.size());
    EXPECT_EQ(box.items.size(), 2 * expected.size() + 1);
    EXPECT_EQ(Serial::listPorts(nullptr), expected.size());
}

TEST_F(SerialDiscoveryTest, ExtraPortsFollowTheDiscoveredOnesWithoutDuplicates)
{
    tty("ttyUSB0", true);
    Serial::addExtraPort("/tmp/gpsdesk-virtual");
    Serial::addExtraPort(dev("ttyUSB0"));
    Serial::addExtraPort("/dev/pts/7");
    Serial::addExtraPort("/tmp/gpsdesk-virtual");
    const std::vector<std::string> expected = {dev("ttyUSB0"), "/tmp/gpsdesk-virtual", "/dev/pts/7"};
    EXPECT_EQ(Serial::listPorts().value_or(std::vector<std::string>{}), expected);

    Serial::clearExtraPorts();
    EXPECT_EQ(Serial::listPorts()->size(), 1u);
}

TEST_F(SerialDiscoveryTest, EmptyAndUnreadableTrees)
{
    RecordingComboBox box;
    const auto none = Serial::listPorts();
    ASSERT_TRUE(none.has_value());
    EXPECT_TRUE(none->empty());
    EXPECT_EQ(Serial::listPorts(&box), 0u);
    EXPECT_TRUE(box.items.empty());

    fs::remove_all(root / "sys/class");
    EXPECT_FALSE(Serial::listPorts().has_value()) << "no tty class: nothing, not an empty list";
    EXPECT_EQ(Serial::listPorts(&box), 0u);

    // A container without sysfs can still use the ports it was given.
    Serial::addExtraPort("/dev/pts/3");
    EXPECT_EQ(Serial::listPorts().value_or(std::vector<std::string>{}),
              std::vector<std::string>{"/dev/pts/3"});
}

}  // namespace
