// SPDX-License-Identifier: BSD-2-Clause
#include "serial/PortCatalog.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>

#include "serial/PortDiscovery.h"
#include "serial/Serial.h"

namespace {

namespace fs = std::filesystem;

struct UsbId {
    std::uint16_t vendor;
    std::uint16_t product;  // 0: any product of the vendor
};

// Kept small: makers of GNSS chips, and the USB-serial bridges that GNSS mice are built on
// where the bridge is rarely used for anything else.
constexpr UsbId kReceiverIds[] = {
    {0x1546, 0},       // u-blox
    {0x067b, 0x2303},  // Prolific PL2303 (SiRF mice such as Globalsat's)
    {0x10c4, 0xea60},  // Silicon Labs CP210x
    {0x1163, 0},       // DeLorme
    {0x0e8d, 0x3329},  // MediaTek GPS
};
// Words in the product name (any maker, FTDI bridges included).
const char* const kReceiverWords[] = {"gps", "gnss", "glonass", "sirf", "u-blox"};

std::string readLine(const fs::path& path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
    return line;
}

std::uint16_t hexId(const std::string& text)
{
    unsigned long value = 0;
    for (const char c : text) {
        const int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                          : (c >= 'a' && c <= 'f')                  ? c - 'a' + 10
                          : (c >= 'A' && c <= 'F')                  ? c - 'A' + 10
                                                                    : -1;
        if (digit < 0 || value > 0xFFFF) return 0;
        value = value * 16 + static_cast<unsigned long>(digit);
    }
    return value > 0xFFFF ? 0 : static_cast<std::uint16_t>(value);
}

struct UsbFacts {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::string product;
    std::string manufacturer;
};

// The USB device above a tty: the first parent folder of its device link with an idVendor.
std::optional<UsbFacts> usbFacts(const fs::path& ttyClassDir)
{
    std::error_code error;
    fs::path dir = fs::canonical(ttyClassDir / "device", error);
    if (error) return std::nullopt;
    for (int level = 0; level < 6 && !dir.empty() && dir != dir.root_path(); ++level) {
        if (fs::exists(dir / "idVendor", error)) {
            UsbFacts facts;
            facts.vendorId = hexId(readLine(dir / "idVendor"));
            facts.productId = hexId(readLine(dir / "idProduct"));
            facts.product = readLine(dir / "product");
            facts.manufacturer = readLine(dir / "manufacturer");
            return facts;
        }
        dir = dir.parent_path();
    }
    return std::nullopt;
}

// Device path -> its /dev/serial/by-id link, for the links that point at a device of ours.
std::map<std::string, std::string> stableNames(const fs::path& devRoot)
{
    std::map<std::string, std::string> names;
    std::error_code error;
    fs::directory_iterator links(devRoot / "serial" / "by-id", error);
    if (error) return names;
    for (; links != fs::directory_iterator(); links.increment(error)) {
        if (error) break;
        std::error_code linkError;
        const fs::path target = fs::read_symlink(links->path(), linkError);
        if (linkError) continue;
        // udev's links are relative ("../../ttyUSB0"); resolved by name, not by following.
        const fs::path device = (links->path().parent_path() / target).lexically_normal();
        auto& stable = names[device.string()];
        if (stable.empty() || links->path().string() < stable) stable = links->path().string();
    }
    return names;
}

}  // namespace

bool PortCatalog::isKnownReceiver(std::uint16_t vendorId, std::uint16_t productId,
                                  const std::string& product)
{
    for (const UsbId& id : kReceiverIds)
        if (id.vendor == vendorId && (id.product == 0 || id.product == productId)) return true;
    std::string lower = product;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const char* word : kReceiverWords)
        if (lower.find(word) != std::string::npos) return true;
    return false;
}

std::vector<PortCatalog::Port> PortCatalog::list()
{
    std::vector<Port> ports;
    const auto paths = PortDiscovery::listPorts();
    if (!paths) return ports;
    const auto [sysRoot, devRoot] = PortDiscovery::deviceRoots();
    const fs::path dev = fs::path(devRoot).lexically_normal();
    const auto stable = stableNames(dev);

    for (const std::string& path : *paths) {
        Port port{path, path, path, false};
        const fs::path device(path);
        // Only discovered nodes have a tty class entry; a port from the command line is
        // shown as given.
        if (device.parent_path().lexically_normal() == dev) {
            const std::string name = device.filename().string();
            if (const auto facts = usbFacts(fs::path(sysRoot) / "class" / "tty" / name)) {
                const std::string& what = !facts->product.empty() ? facts->product : facts->manufacturer;
                if (!what.empty()) port.label = what + " — " + name;
                port.knownReceiver = isKnownReceiver(facts->vendorId, facts->productId, facts->product);
            }
            if (const auto found = stable.find(device.lexically_normal().string()); found != stable.end())
                port.path = found->second;
        }
        ports.push_back(std::move(port));
    }
    std::stable_partition(ports.begin(), ports.end(), [](const Port& port) { return port.knownReceiver; });
    return ports;
}

int PortCatalog::find(const std::vector<Port>& ports, const std::string& stored)
{
    for (std::size_t i = 0; i < ports.size(); ++i)
        if (ports[i].path == stored) return static_cast<int>(i);
    for (std::size_t i = 0; i < ports.size(); ++i)
        if (ports[i].devicePath == stored) return static_cast<int>(i);
    return -1;
}
