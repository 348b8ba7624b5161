// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The serial ports of the machine as a user knows them: what each is (the USB product from
// sysfs), the stable /dev/serial/by-id path where udev made one, and whether it is a known
// GNSS receiver. Reads the roots Serial discovery uses, so tests point it at a fixture.
class PortCatalog {
public:
    struct Port {
        std::string path;        // stored and opened: the by-id link if any, else devicePath
        std::string devicePath;  // the node itself, e.g. /dev/ttyACM0
        std::string label;       // "u-blox GNSS receiver — ttyACM0"; the path when nothing is known
        bool knownReceiver = false;
        bool operator==(const Port&) const = default;
    };

    // PortDiscovery::listPorts() described, known receivers first, each group in its listed order.
    static std::vector<Port> list();

    // USB ids or product words of receivers and the adapters built into GNSS mice.
    static bool isKnownReceiver(std::uint16_t vendorId, std::uint16_t productId,
                                const std::string& product);
    // Index of the port a stored choice names: its stable path or, as older preferences
    // have it, its device path; -1 when none.
    static int find(const std::vector<Port>& ports, const std::string& stored);
};
#include "serial/PortDiscovery.h"
