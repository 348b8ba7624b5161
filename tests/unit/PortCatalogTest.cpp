// SPDX-License-Identifier: BSD-2-Clause
#include "serial/PortCatalog.h"

#include <gtest/gtest.h>

#include "serial/PortDiscovery.h"
#include "serial/Serial.h"
#include "fakes/FakeDeviceTree.h"

namespace {

using Port = PortCatalog::Port;

TEST(PortCatalogTest, NamesPortsByWhatTheyAreReceiversFirstStablePathsStored)
{
    fakes::FakeDeviceTree tree;
    PortDiscovery::clearExtraPorts();
    tree.plugOnBoard("ttyS0");
    tree.plugUsb("ttyUSB0", "0403", "6001", "FT232R USB UART", "FTDI", "usb-FTDI_FT232R_USB_UART_A1-if00-port0");
    tree.plugUsb("ttyACM0", "1546", "01a8", "u-blox GNSS receiver", "u-blox AG", "usb-u-blox_AG_GNSS-if00");
    tree.plugUsb("ttyUSB1", "067b", "2303", "", "Prolific Technology Inc.");
    tree.plugUsb("ttyUSB2", "0403", "6015", "FT230X GPS Receiver", "FTDI");
    PortDiscovery::addExtraPort("/dev/pts/9");

    const std::vector<Port> expected = {
        {tree.byId("usb-u-blox_AG_GNSS-if00"), tree.dev("ttyACM0"), "u-blox GNSS receiver — ttyACM0", true},
        {tree.dev("ttyUSB1"), tree.dev("ttyUSB1"), "Prolific Technology Inc. — ttyUSB1", true},
        {tree.dev("ttyUSB2"), tree.dev("ttyUSB2"), "FT230X GPS Receiver — ttyUSB2", true},
        {tree.dev("ttyS0"), tree.dev("ttyS0"), tree.dev("ttyS0"), false},
        {tree.byId("usb-FTDI_FT232R_USB_UART_A1-if00-port0"), tree.dev("ttyUSB0"),
         "FT232R USB UART — ttyUSB0", false},
        {"/dev/pts/9", "/dev/pts/9", "/dev/pts/9", false},
    };
    const auto ports = PortCatalog::list();
    PortDiscovery::clearExtraPorts();
    ASSERT_EQ(ports.size(), expected.size());
    for (std::size_t i = 0; i < ports.size(); ++i) {
        SCOPED_TRACE(expected[i].label);
        EXPECT_EQ(ports[i], expected[i]);
    }

    // A stored stable path, and an old plain device path, both find their port.
    EXPECT_EQ(PortCatalog::find(ports, tree.byId("usb-u-blox_AG_GNSS-if00")), 0);
    EXPECT_EQ(PortCatalog::find(ports, tree.dev("ttyACM0")), 0);
    EXPECT_EQ(PortCatalog::find(ports, tree.dev("ttyUSB0")), 4);
    EXPECT_EQ(PortCatalog::find(ports, "/dev/ttyUSB9"), -1);
}

TEST(PortCatalogTest, AReplugThatRenumbersKeepsTheStablePath)
{
    fakes::FakeDeviceTree tree;
    PortDiscovery::clearExtraPorts();
    const std::string link = "usb-u-blox_AG_GNSS-if00";
    tree.plugUsb("ttyACM0", "1546", "01a8", "u-blox GNSS receiver", "u-blox AG", link);
    ASSERT_EQ(PortCatalog::list().size(), 1u);
    tree.unplug("ttyACM0");
    EXPECT_TRUE(PortCatalog::list().empty());
    tree.plugUsb("ttyACM1", "1546", "01a8", "u-blox GNSS receiver", "u-blox AG", link);
    const auto ports = PortCatalog::list();
    ASSERT_EQ(ports.size(), 1u);
    EXPECT_EQ(ports[0].path, tree.byId(link));
    EXPECT_EQ(ports[0].devicePath, tree.dev("ttyACM1"));
    EXPECT_EQ(ports[0].label, "u-blox GNSS receiver — ttyACM1");
}

// The stamp that spares the listing once a second moves with every plug, unplug and stable
// name, and with the ports given on the command line; it stands still otherwise.
TEST(PortCatalogTest, TheDevicesStampMovesWheneverTheListingWould)
{
    fakes::FakeDeviceTree tree;
    PortDiscovery::clearExtraPorts();
    std::optional<std::string> last = PortDiscovery::devicesStamp();
    ASSERT_TRUE(last);
    const auto moved = [&last] {
        const auto now = PortDiscovery::devicesStamp();
        const bool changed = now != last;
        last = now;
        return changed;
    };
    EXPECT_FALSE(moved());
    tree.plugUsb("ttyACM0", "1546", "01a8", "u-blox GNSS receiver", "u-blox AG");
    EXPECT_TRUE(moved());
    EXPECT_FALSE(moved());
    tree.plugUsb("ttyUSB0", "0403", "6001", "FT232R USB UART", "FTDI", "usb-FTDI_FT232R-if00-port0");
    EXPECT_TRUE(moved());
    tree.unplug("ttyACM0");
    EXPECT_TRUE(moved());
    PortDiscovery::addExtraPort("/dev/pts/9");
    EXPECT_TRUE(moved());
    EXPECT_FALSE(moved());
    PortDiscovery::clearExtraPorts();
    EXPECT_TRUE(moved());
}

TEST(PortCatalogTest, KnownReceiversByIdsAndProductWords)
{
    const struct {
        std::uint16_t vendor, product;
        const char* name;
        bool known;
    } cases[] = {
        {0x1546, 0x01a9, "", true},           {0x10c4, 0xea60, "CP2102 USB to UART", true},
        {0x10c4, 0xea70, "CP2105", false},    {0x0403, 0x6001, "FT232R USB UART", false},
        {0x0403, 0x6001, "USB GNSS Mouse", true}, {0x2341, 0x0043, "Arduino Uno", false},
        {0x1234, 0x5678, "SiRFstar IV", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(PortCatalog::isKnownReceiver(c.vendor, c.product, c.name), c.known);
    }
}

}  // namespace
