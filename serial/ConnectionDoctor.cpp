// SPDX-License-Identifier: BSD-2-Clause
#include "serial/ConnectionDoctor.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Alert.h"
#include "base/Numbers.h"
#include "serial/PortDiscovery.h"
#include "serial/Serial.h"

namespace {

namespace fs = std::filesystem;

std::optional<long> number(const std::string& text)
{
    return digitsValue<long>(text);
}

std::string firstLine(const fs::path& path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

std::string permissionString(mode_t mode)
{
    std::string text = S_ISCHR(mode) ? "c" : S_ISDIR(mode) ? "d" : "-";
    const char letters[] = "rwx";
    for (int shift = 8; shift >= 0; --shift)
        text += (mode & (1u << shift)) ? letters[(8 - shift) % 3] : '-';
    char octal[8];
    std::snprintf(octal, sizeof octal, "%03o", static_cast<unsigned>(mode & 0777));
    return text + " (" + octal + ")";
}

// Programs that take serial devices on their own, by the name in /proc/PID/comm.
bool isServiceThatTakesPorts(const std::string& name)
{
    return name == "gpsd" || name == "ModemManager";
}

// Every process under proc but ours whose folder and name keep() accepts, by pid.
template <class Keep>
std::vector<ConnectionDoctor::Process> otherProcesses(const fs::path& proc, pid_t self, Keep keep)
{
    std::vector<ConnectionDoctor::Process> found;
    std::error_code error;
    fs::directory_iterator processes(proc, error);
    if (error) return found;
    for (; processes != fs::directory_iterator(); processes.increment(error)) {
        if (error) break;
        const auto pid = number(processes->path().filename().string());
        if (!pid || *pid == self) continue;
        std::string name = firstLine(processes->path() / "comm");
        if (keep(processes->path(), name)) found.push_back({static_cast<pid_t>(*pid), std::move(name)});
    }
    std::sort(found.begin(), found.end(),
              [](const ConnectionDoctor::Process& a, const ConnectionDoctor::Process& b) { return a.pid < b.pid; });
    return found;
}

}  // namespace

ConnectionDoctor::ConnectionDoctor()
    : ConnectionDoctor(Roots{}, currentIdentity())
{
}

ConnectionDoctor::ConnectionDoctor(Roots roots, Identity identity, const Accounts& accounts)
    : m_roots(std::move(roots)), m_identity(std::move(identity)), m_accounts(&accounts)
{
}

ConnectionDoctor::Identity ConnectionDoctor::currentIdentity()
{
    Identity identity;
    identity.uid = ::getuid();
    identity.pid = ::getpid();
    const int count = ::getgroups(0, nullptr);
    if (count > 0) {
        identity.processGroups.resize(static_cast<std::size_t>(count));
        const int got = ::getgroups(count, identity.processGroups.data());
        identity.processGroups.resize(static_cast<std::size_t>(std::max(got, 0)));
    }
    identity.processGroups.push_back(::getegid());
    return identity;
}

std::string ConnectionDoctor::text(const std::string& key, const std::vector<std::string>& arguments)
{
    return Alert::localizedStringWithKey(key, arguments);
}

std::string ConnectionDoctor::explainOpenFailure(int error, const std::string& path) const
{
    switch (error) {
    case EACCES:
    case EPERM:
        return explainPermission(path);
    case EBUSY:
        return explainBusy(path);
    case ENOENT:
    case ENODEV:
    case ENXIO: {
        // The name can be there with nothing behind it (/dev/tty without a controlling
        // terminal, a serial port with no chip): not gone, and the system's reason says why.
        struct stat info;
        if (error != ENOENT && ::stat(path.c_str(), &info) == 0)
            return text("DoctorNoDevice", {path, std::system_category().message(error)});
        return explainGone(path);
    }
    default:
        return text("DoctorOther", {path, std::system_category().message(error)});
    }
}

std::string ConnectionDoctor::explainPermission(const std::string& path) const
{
    struct stat info;
    if (::stat(path.c_str(), &info) != 0)
        return text("DoctorOther", {path, std::system_category().message(EACCES)});
    const std::string owner = m_accounts->userName(info.st_uid).value_or(std::to_string(info.st_uid));
    const std::string group = m_accounts->groupName(info.st_gid).value_or(std::to_string(info.st_gid));
    const std::string user = m_accounts->userName(m_identity.uid).value_or(std::to_string(m_identity.uid));

    std::string advice;
    const auto& carried = m_identity.processGroups;
    const bool groupCanUse = (info.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
    if (info.st_gid == 0 || !groupCanUse) {
        // Joining the group would not help: root's group is no answer, and the mode shuts
        // the group out anyway.
        advice = text("DoctorModeDenies");
    } else if (std::find(carried.begin(), carried.end(), info.st_gid) != carried.end()) {
        advice = text("DoctorModeDenies");
    } else if (m_accounts->listedInGroup(info.st_gid, user) || m_accounts->primaryGroup(m_identity.uid) == info.st_gid) {
        advice = text("DoctorLoginAgain", {group});
    } else {
        advice = text("DoctorAddToGroup", {group, group});
    }
    return text("DoctorPermission", {user, path, owner, group, permissionString(info.st_mode)})
           + "\n" + advice;
}

std::string ConnectionDoctor::remedyFor(const Process& holder, const std::string& path) const
{
    if (holder.name == "gpsd") return text("DoctorRemedyGpsd") + "\n" + text("DoctorGpsdSource", {gpsdSourceUrl(path)});
    if (holder.name == "ModemManager") return text("DoctorRemedyModemManager");
    return text("DoctorRemedyOther", {holder.name});
}

std::string ConnectionDoctor::explainBusy(const std::string& path) const
{
    bool unreadable = false;
    const std::vector<Process> found = holders(path, &unreadable);
    std::string out;
    for (const Process& holder : found) {
        if (!out.empty()) out += "\n";
        const std::string pid = std::to_string(holder.pid);
        if (holder.name == "gpsdesk") {
            out += text("DoctorHeldByOurs", {path, pid});
        } else {
            out += text("DoctorHeldBy", {path, holder.name, pid}) + "\n" + remedyFor(holder, path);
        }
    }
    if (!out.empty()) return out;

    if (unreadable) {
        for (const Process& likely : likelyHolders()) {
            if (!out.empty()) out += "\n";
            out += text("DoctorLikelyHolder", {likely.name, std::to_string(likely.pid), path})
                   + "\n" + remedyFor(likely, path);
        }
        if (!out.empty()) return out;
    }
    // A terminal answers EBUSY to an open only while its exclusive mark is set; with no
    // holder in sight the mark outlived the program that set it.
    return text("DoctorStaleLock", {path});
}

std::string ConnectionDoctor::explainGone(const std::string& path) const
{
    const auto ports = PortDiscovery::listPorts();
    std::string list;
    struct stat info;
    if (ports)
        for (const std::string& port : *ports)  // ports named on the command line may be gone too
            if (::stat(port.c_str(), &info) == 0) list += (list.empty() ? "" : ", ") + port;
    const std::string now = list.empty() ? text("DoctorNoPorts") : text("DoctorPortsNow", {list});
    return text("DoctorGone", {path}) + "\n" + now;
}

std::optional<std::string> ConnectionDoctor::sharedUseWarning(const std::string& path) const
{
    bool unreadable = false;
    std::vector<Process> found = holders(path, &unreadable);
    std::string key = "DoctorSharedUse";
    if (found.empty() && unreadable) {
        found = likelyHolders();
        key = "DoctorSharedUseLikely";
    }
    if (found.empty()) return std::nullopt;
    std::string out;
    for (const Process& holder : found) {
        if (!out.empty()) out += "\n";
        out += text(key, {holder.name, std::to_string(holder.pid), path});
    }
    return out;
}

std::string ConnectionDoctor::gpsdSourceUrl(const std::string& path)
{
    // gpsd names its devices by the path it was given; localhost reaches its default listener.
    return "gpsd://localhost" + (path.empty() || path.front() == '/' ? path : "/" + path);
}

std::optional<std::string> ConnectionDoctor::gpsdSourceFor(const std::string& path) const
{
    bool unreadable = false;
    std::vector<Process> found = holders(path, &unreadable);
    if (found.empty() && unreadable) found = likelyHolders();
    for (const Process& holder : found)
        if (holder.name == "gpsd") return gpsdSourceUrl(path);
    return std::nullopt;
}

std::vector<ConnectionDoctor::Process> ConnectionDoctor::holders(const std::string& path,
                                                                 bool* unreadable) const
{
    if (unreadable) *unreadable = false;
    std::error_code error;
    const fs::path canonical = fs::weakly_canonical(path, error);
    struct stat device;
    const bool isDevice = ::stat(path.c_str(), &device) == 0 && S_ISCHR(device.st_mode);

    return otherProcesses(m_roots.proc, m_identity.pid, [&](const fs::path& folder, const std::string& name) {
        // The simulated receiver keeps its own end of the terminal open without reading it.
        if (name == "gpsdesk-sim") return false;

        std::error_code fdError;
        fs::directory_iterator fds(folder / "fd", fdError);
        if (fdError) {
            // Another user's process (EACCES); one that ended meanwhile is simply gone.
            if (fdError != std::errc::no_such_file_or_directory && unreadable) *unreadable = true;
            return false;
        }
        for (; fds != fs::directory_iterator(); fds.increment(fdError)) {
            if (fdError) break;
            std::error_code linkError;
            const fs::path target = fs::read_symlink(fds->path(), linkError);
            if (linkError) continue;
            if (target == path || (!canonical.empty() && target == canonical)) return true;
            // A node made elsewhere (mknod, a by-id link) names the same device by number.
            struct stat other;
            if (isDevice && target.string().rfind("/dev/", 0) == 0
                && ::stat(fds->path().c_str(), &other) == 0 && S_ISCHR(other.st_mode)
                && other.st_rdev == device.st_rdev)
                return true;
        }
        return false;
    });
}

std::vector<ConnectionDoctor::Process> ConnectionDoctor::likelyHolders() const
{
    return otherProcesses(m_roots.proc, m_identity.pid,
                          [](const fs::path&, const std::string& name) { return isServiceThatTakesPorts(name); });
}

namespace {

// Buffer size for the reentrant lookups; grown on ERANGE (a group with many members).
std::size_t lookupBufferSize(int name)
{
    const long size = ::sysconf(name);
    return size > 0 ? static_cast<std::size_t>(size) : 4096;
}

template <class Record, class Lookup>
std::optional<Record> lookUp(int sizeName, Lookup lookup)
{
    std::vector<char> buffer(lookupBufferSize(sizeName));
    Record record{};
    Record* found = nullptr;
    for (;;) {
        const int error = lookup(&record, buffer.data(), buffer.size(), &found);
        if (error == ERANGE && buffer.size() < (std::size_t{1} << 20)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (error != 0 || !found) return std::nullopt;
        return record;
    }
}

// The name and primary group of a user, by number or by name.
struct UserRecord {
    std::string name;
    gid_t primary = 0;
};

template <class Lookup>
std::optional<UserRecord> userRecord(Lookup lookup)
{
    std::optional<UserRecord> user;
    lookUp<passwd>(_SC_GETPW_R_SIZE_MAX, [&](passwd* record, char* buffer, std::size_t size, passwd** found) {
        const int error = lookup(record, buffer, size, found);
        if (error == 0 && *found) user = UserRecord{record->pw_name, record->pw_gid};
        return error;
    });
    return user;
}

std::optional<UserRecord> userById(uid_t uid)
{
    return userRecord([uid](passwd* record, char* buffer, std::size_t size, passwd** found) {
        return ::getpwuid_r(uid, record, buffer, size, found);
    });
}

class SystemAccounts : public ConnectionDoctor::Accounts {
public:
    std::optional<std::string> userName(uid_t uid) const override
    {
        const auto user = userById(uid);
        return user ? std::optional(user->name) : std::nullopt;
    }
    std::optional<gid_t> primaryGroup(uid_t uid) const override
    {
        const auto user = userById(uid);
        return user ? std::optional(user->primary) : std::nullopt;
    }
    std::optional<std::string> groupName(gid_t gid) const override
    {
        std::optional<std::string> name;
        lookUp<group>(_SC_GETGR_R_SIZE_MAX, [&](group* record, char* buffer, std::size_t size, group** found) {
            const int error = ::getgrgid_r(gid, record, buffer, size, found);
            if (error == 0 && *found) name = record->gr_name;
            return error;
        });
        return name;
    }
    bool listedInGroup(gid_t gid, const std::string& user) const override
    {
        // getgrouplist asks every source NSS knows, where the group file alone would miss
        // memberships kept in a directory service.
        const auto named = userRecord([&user](passwd* record, char* buffer, std::size_t size, passwd** found) {
            return ::getpwnam_r(user.c_str(), record, buffer, size, found);
        });
        if (!named) return false;
        int count = 64;
        std::vector<gid_t> groups;
        for (int attempt = 0; attempt < 8; ++attempt) {
            groups.resize(static_cast<std::size_t>(count));
            int asked = count;
            if (::getgrouplist(user.c_str(), named->primary, groups.data(), &asked) >= 0) {
                groups.resize(static_cast<std::size_t>(asked));
                return std::find(groups.begin(), groups.end(), gid) != groups.end();
            }
            count = std::max(asked, count * 2);
        }
        return false;
    }
};

}  // namespace

const ConnectionDoctor::Accounts& ConnectionDoctor::systemAccounts()
{
    static const SystemAccounts accounts;
    return accounts;
}
