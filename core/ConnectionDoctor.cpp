// SPDX-License-Identifier: BSD-2-Clause
#include "core/ConnectionDoctor.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include <sys/stat.h>
#include <unistd.h>

#include "core/Alert.h"
#include "core/Serial.h"

namespace {

namespace fs = std::filesystem;

// The lines of a colon-separated table (/etc/passwd, /etc/group), split into fields.
std::vector<std::vector<std::string>> readTable(const fs::path& path)
{
    std::vector<std::vector<std::string>> rows;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> fields;
        std::istringstream split(line);
        for (std::string field; std::getline(split, field, ':');) fields.push_back(field);
        if (!line.empty() && line.back() == ':') fields.emplace_back();
        rows.push_back(std::move(fields));
    }
    return rows;
}

std::optional<long> number(const std::string& text)
{
    if (text.empty() || text.size() > 10) return std::nullopt;
    long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
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

ConnectionDoctor::ConnectionDoctor(Roots roots, Identity identity)
    : m_roots(std::move(roots)), m_identity(std::move(identity))
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
            return text("NSDoctorNoDevice", {path, std::system_category().message(error)});
        return explainGone(path);
    }
    default:
        return text("NSDoctorOther", {path, std::system_category().message(error)});
    }
}

std::string ConnectionDoctor::explainPermission(const std::string& path) const
{
    struct stat info;
    if (::stat(path.c_str(), &info) != 0)
        return text("NSDoctorOther", {path, std::system_category().message(EACCES)});
    const std::string owner = userName(info.st_uid).value_or(std::to_string(info.st_uid));
    const std::string group = groupName(info.st_gid).value_or(std::to_string(info.st_gid));
    const std::string user = userName(m_identity.uid).value_or(std::to_string(m_identity.uid));

    std::string advice;
    const auto& carried = m_identity.processGroups;
    const bool groupCanUse = (info.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
    if (info.st_gid == 0 || !groupCanUse) {
        // Joining the group would not help: root's group is no answer, and the mode shuts
        // the group out anyway.
        advice = text("NSDoctorModeDenies");
    } else if (std::find(carried.begin(), carried.end(), info.st_gid) != carried.end()) {
        advice = text("NSDoctorModeDenies");
    } else if (listedInGroup(info.st_gid, user) || primaryGroup(m_identity.uid) == info.st_gid) {
        advice = text("NSDoctorLoginAgain", {group});
    } else {
        advice = text("NSDoctorAddToGroup", {group, group});
    }
    return text("NSDoctorPermission", {user, path, owner, group, permissionString(info.st_mode)})
           + "\n" + advice;
}

std::string ConnectionDoctor::remedyFor(const Process& holder) const
{
    if (holder.name == "gpsd") return text("NSDoctorRemedyGpsd");
    if (holder.name == "ModemManager") return text("NSDoctorRemedyModemManager");
    return text("NSDoctorRemedyOther", {holder.name});
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
            out += text("NSDoctorHeldByOurs", {path, pid});
        } else {
            out += text("NSDoctorHeldBy", {path, holder.name, pid}) + "\n" + remedyFor(holder);
        }
    }
    if (!out.empty()) return out;

    if (unreadable) {
        for (const Process& likely : likelyHolders()) {
            if (!out.empty()) out += "\n";
            out += text("NSDoctorLikelyHolder", {likely.name, std::to_string(likely.pid), path})
                   + "\n" + remedyFor(likely);
        }
        if (!out.empty()) return out;
    }
    // A terminal answers EBUSY to an open only while its exclusive mark is set; with no
    // holder in sight the mark outlived the program that set it.
    return text("NSDoctorStaleLock", {path});
}

std::string ConnectionDoctor::explainGone(const std::string& path) const
{
    const auto ports = Serial::listPorts();
    std::string list;
    struct stat info;
    if (ports)
        for (const std::string& port : *ports)  // ports named on the command line may be gone too
            if (::stat(port.c_str(), &info) == 0) list += (list.empty() ? "" : ", ") + port;
    const std::string now = list.empty() ? text("NSDoctorNoPorts") : text("NSDoctorPortsNow", {list});
    return text("NSDoctorGone", {path}) + "\n" + now;
}

std::optional<std::string> ConnectionDoctor::sharedUseWarning(const std::string& path) const
{
    bool unreadable = false;
    std::vector<Process> found = holders(path, &unreadable);
    std::string key = "NSDoctorSharedUse";
    if (found.empty() && unreadable) {
        found = likelyHolders();
        key = "NSDoctorSharedUseLikely";
    }
    if (found.empty()) return std::nullopt;
    std::string out;
    for (const Process& holder : found) {
        if (!out.empty()) out += "\n";
        out += text(key, {holder.name, std::to_string(holder.pid), path});
    }
    return out;
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

std::optional<std::string> ConnectionDoctor::userName(uid_t uid) const
{
    for (const auto& row : readTable(fs::path(m_roots.etc) / "passwd"))
        if (row.size() >= 3 && number(row[2]) == static_cast<long>(uid)) return row[0];
    return std::nullopt;
}

std::optional<gid_t> ConnectionDoctor::primaryGroup(uid_t uid) const
{
    for (const auto& row : readTable(fs::path(m_roots.etc) / "passwd"))
        if (row.size() >= 4 && number(row[2]) == static_cast<long>(uid))
            if (const auto gid = number(row[3])) return static_cast<gid_t>(*gid);
    return std::nullopt;
}

std::optional<std::string> ConnectionDoctor::groupName(gid_t gid) const
{
    for (const auto& row : readTable(fs::path(m_roots.etc) / "group"))
        if (row.size() >= 3 && number(row[2]) == static_cast<long>(gid)) return row[0];
    return std::nullopt;
}

bool ConnectionDoctor::listedInGroup(gid_t gid, const std::string& user) const
{
    for (const auto& row : readTable(fs::path(m_roots.etc) / "group")) {
        if (row.size() < 4 || number(row[2]) != static_cast<long>(gid)) continue;
        std::istringstream members(row[3]);
        for (std::string member; std::getline(members, member, ',');)
            if (member == user) return true;
    }
    return false;
}
