// SPDX-License-Identifier: BSD-2-Clause
#include "fakes/FakeDeviceTree.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>

#include "serial/PortDiscovery.h"
#include "serial/Serial.h"

namespace fakes {

namespace fs = std::filesystem;

FakeDeviceTree::FakeDeviceTree()
{
    std::string pattern = (fs::temp_directory_path() / "gpsdesk-devices-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    m_root = pattern;
    fs::create_directories(m_root / "sys/class/tty");
    fs::create_directories(m_root / "dev/serial/by-id");
    PortDiscovery::setDeviceRoots((m_root / "sys").string(), (m_root / "dev").string());
}

FakeDeviceTree::~FakeDeviceTree()
{
    PortDiscovery::setDeviceRoots("/sys", "/dev");
    std::error_code error;
    fs::remove_all(m_root, error);
}

void FakeDeviceTree::plugUsb(const std::string& name, const std::string& vendorId,
                             const std::string& productId, const std::string& product,
                             const std::string& manufacturer, const std::string& byId,
                             const std::string& node)
{
    // As the kernel lays it out: usb1/1-N is the device, 1-N:1.0 its interface, the tty below.
    const fs::path usb = m_root / "sys/devices/usb1" / ("1-" + name);
    const fs::path interface = usb / ("1-" + name + ":1.0") / name;
    fs::create_directories(interface);
    std::ofstream(usb / "idVendor") << vendorId << "\n";
    std::ofstream(usb / "idProduct") << productId << "\n";
    if (!product.empty()) std::ofstream(usb / "product") << product << "\n";
    if (!manufacturer.empty()) std::ofstream(usb / "manufacturer") << manufacturer << "\n";
    fs::create_directories(m_root / "sys/class/tty" / name);
    fs::create_directory_symlink(interface, m_root / "sys/class/tty" / name / "device");
    fs::create_symlink(node, m_root / "dev" / name);
    if (!byId.empty()) fs::create_symlink("../../" + name, m_root / "dev/serial/by-id" / byId);
}

void FakeDeviceTree::plugOnBoard(const std::string& name)
{
    const fs::path device = m_root / "sys/devices/platform/serial8250" / name;
    fs::create_directories(device);
    fs::create_directories(m_root / "sys/class/tty" / name);
    fs::create_directory_symlink(device, m_root / "sys/class/tty" / name / "device");
    std::ofstream(m_root / "sys/class/tty" / name / "type") << "4\n";
    fs::create_symlink("/dev/null", m_root / "dev" / name);
}

void FakeDeviceTree::unplug(const std::string& name)
{
    std::error_code error;
    fs::remove_all(m_root / "sys/class/tty" / name, error);
    fs::remove_all(m_root / "sys/devices/usb1" / ("1-" + name), error);
    fs::remove(m_root / "dev" / name, error);
    for (const auto& link : fs::directory_iterator(m_root / "dev/serial/by-id"))
        if (fs::read_symlink(link.path(), error) == fs::path("../../" + name)) fs::remove(link.path(), error);
}

std::string FakeDeviceTree::dev(const std::string& name) const
{
    return (m_root / "dev" / name).string();
}

std::string FakeDeviceTree::byId(const std::string& link) const
{
    return (m_root / "dev/serial/by-id" / link).string();
}

}  // namespace fakes
