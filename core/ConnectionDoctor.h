// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

// Turns a failed open (an errno and the device path) into plain words and what to do, and
// finds the other processes that have a device open. Reads the system through roots that
// tests point at a fake tree: /proc (open descriptors and process names) and /etc (passwd
// and group). The texts are message keys in the user's language.
//
// Any thread; an object holds only what it was given.
class ConnectionDoctor {
public:
    struct Roots {
        std::string proc = "/proc";
        std::string etc = "/etc";
    };
    // Who asks: the real user and the groups this process carries (which lag behind
    // /etc/group until the next login).
    struct Identity {
        uid_t uid = 0;
        std::vector<gid_t> processGroups;
        pid_t pid = 0;  // our own descriptors do not count as another holder
    };
    struct Process {
        pid_t pid = 0;
        std::string name;  // as /proc/PID/comm has it
        bool operator==(const Process&) const = default;
    };
    // The running process's identity and the real roots.
    ConnectionDoctor();
    ConnectionDoctor(Roots roots, Identity identity);

    static Identity currentIdentity();

    // What happened and what to do, for the errno of a failed open of path.
    std::string explainOpenFailure(int error, const std::string& path) const;
    // A warning when another process has path open too; nothing when none can be found.
    std::optional<std::string> sharedUseWarning(const std::string& path) const;

    // Other processes with a descriptor on the device (same path or same device number),
    // by pid. unreadable: set when some process's descriptors could not be read.
    std::vector<Process> holders(const std::string& path, bool* unreadable = nullptr) const;
    // Running programs known to take serial devices (gpsd, ModemManager), whose names
    // everyone can read even when their descriptors are hidden.
    std::vector<Process> likelyHolders() const;

private:
    static std::string text(const std::string& key, const std::vector<std::string>& arguments = {});
    std::string explainPermission(const std::string& path) const;
    std::string explainBusy(const std::string& path) const;
    std::string explainGone(const std::string& path) const;
    std::string remedyFor(const Process& holder) const;
    std::optional<std::string> userName(uid_t uid) const;
    std::optional<gid_t> primaryGroup(uid_t uid) const;
    std::optional<std::string> groupName(gid_t gid) const;
    bool listedInGroup(gid_t gid, const std::string& user) const;

    Roots m_roots;
    Identity m_identity;
};
