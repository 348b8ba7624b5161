// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

// Which serial devices there are: the kernel's tty class read through sysfs, and the ports
// given on the command line. Class-level state, shared by every caller.
class PortDiscovery {
public:
    PortDiscovery() = delete;

    // Device listing: every serial device that the kernel's tty class shows with a device
    // behind it (or an rfcomm link), less phantom on-board ports and entries without a
    // character device node, in natural order (ttyUSB2 before ttyUSB10); then the extra
    // ports, without duplicates. Main thread.
    // The paths; nothing when the tty class cannot be read and there are no extra ports.
    static std::optional<std::vector<std::string>> listPorts();

    // What changes whenever a serial device comes or goes: the roots, the extra ports, and
    // the times the device folders (/dev, its serial/ and serial/by-id/, the tty class)
    // last changed. Nothing when the device folder cannot be read: then look anyway. A
    // listing once a second costs a read of every tty's sysfs entry; this, four stat calls.
    static std::optional<std::string> devicesStamp();

    // Where discovery looks: "/sys" and "/dev" unless set (tests point them at a fixture).
    static void setDeviceRoots(const std::string& sysRoot, const std::string& devRoot);
    static std::pair<std::string, std::string> deviceRoots();  // sys, dev
    // Paths given on the command line; listed after the discovered ones, even when absent.
    static void addExtraPort(const std::string& path);
    static void clearExtraPorts();
    // A device node that is there (a character device) at path, as a port that went away
    // and came back has again.
    static bool isDeviceNode(const std::string& path);
    // Names the calling thread (as top and a debugger show it), for a thread that reads a port.
    static void nameThread(const char* name);
};
