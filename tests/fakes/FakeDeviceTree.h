// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <filesystem>
#include <string>

namespace fakes {

// A sysfs and /dev stand-in for device discovery, made in a fresh temporary folder and
// installed as Serial's device roots for the object's lifetime. Device nodes are links to
// /dev/null, a character device every user can stat.
class FakeDeviceTree {
public:
    FakeDeviceTree();
    ~FakeDeviceTree();  // real roots back, folder removed
    FakeDeviceTree(const FakeDeviceTree&) = delete;
    FakeDeviceTree& operator=(const FakeDeviceTree&) = delete;

    // A USB serial device: its tty class entry, the USB device folder above it (ids as four
    // hex digits, product and maker names; empty ones left out), its node (a link to node),
    // and a by-id link when byId is not empty.
    void plugUsb(const std::string& name, const std::string& vendorId, const std::string& productId,
                 const std::string& product, const std::string& manufacturer,
                 const std::string& byId = "", const std::string& node = "/dev/null");
    // An on-board port: a class entry with a device link and no USB facts.
    void plugOnBoard(const std::string& name);
    // Everything plugUsb or plugOnBoard made for name, gone (by-id links to it too).
    void unplug(const std::string& name);

    std::string dev(const std::string& name) const;
    std::string byId(const std::string& link) const;
    const std::filesystem::path& root() const { return m_root; }

private:
    std::filesystem::path m_root;
};

}  // namespace fakes
