// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

// Turns a failed open (an errno and the device path) into plain words and what to do, and
// finds the other processes that have a device open. Reads /proc (open descriptors and
// process names) through a root that tests point at a fake tree, and users and groups
// through an account database: the C library's by default, which also sees NSS sources
// (LDAP, systemd-homed) that /etc/passwd and /etc/group do not list. The texts are message
// keys in the user's language.
//
// Any thread; an object holds only what it was given.
class ConnectionDoctor {
public:
    struct Roots {
        std::string proc = "/proc";
    };
    // Users and groups by number; tests give a fixed table.
    class Accounts {
    public:
        virtual ~Accounts() = default;
        virtual std::optional<std::string> userName(uid_t uid) const = 0;
        virtual std::optional<gid_t> primaryGroup(uid_t uid) const = 0;
        virtual std::optional<std::string> groupName(gid_t gid) const = 0;
        // The user belongs to the group: a listed member, or by its primary group.
        virtual bool listedInGroup(gid_t gid, const std::string& user) const = 0;
    };
    // The C library's database (getpwuid_r, getgrgid_r, getgrouplist).
    static const Accounts& systemAccounts();
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
    // accounts must outlive the doctor.
    ConnectionDoctor(Roots roots, Identity identity, const Accounts& accounts = systemAccounts());

    static Identity currentIdentity();

    // What happened and what to do, for the errno of a failed open of path.
    std::string explainOpenFailure(int error, const std::string& path) const;
    // A warning when another process has path open too; nothing when none can be found.
    std::optional<std::string> sharedUseWarning(const std::string& path) const;

    // The address that reads path through gpsd (gpsd://localhost/dev/ttyACM0) when gpsd holds
    // it, or is running and likely does where descriptors cannot be looked into; nothing when
    // gpsd is not in the way. gpsd keeps the device, but passes its data on read-only.
    std::optional<std::string> gpsdSourceFor(const std::string& path) const;
    static std::string gpsdSourceUrl(const std::string& path);

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
    std::string remedyFor(const Process& holder, const std::string& path) const;

    Roots m_roots;
    Identity m_identity;
    const Accounts* m_accounts;
};
