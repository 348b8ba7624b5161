// SPDX-License-Identifier: BSD-2-Clause
#include "posix/JsonPreferences.h"
#include "posix/JsonText.h"

#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string_view>
#include <utility>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

namespace platform::posix {

namespace {

using Json = nlohmann::json;

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    Descriptor(Descriptor&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept
    {
        std::swap(m_fd, other.m_fd);
        return *this;
    }
    ~Descriptor() { close(); }
    int get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }
    // The result of close(2), which is where a delayed write error shows up.
    int close()
    {
        if (m_fd < 0) return 0;
        return ::close(std::exchange(m_fd, -1));
    }

private:
    int m_fd;
};

std::string describe(const std::string& what, const std::filesystem::path& path, int error)
{
    return what + " " + path.string() + ": " + std::strerror(error);
}

std::filesystem::path folderOf(const std::filesystem::path& file)
{
    return file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
}

std::optional<std::string> homeFolder(const JsonPreferences::Environment& environment)
{
    if (const char* home = environment("HOME"); home && *home) return std::string(home);
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir)
        return std::string(found->pw_dir);
    return std::nullopt;
}

// Why the folder may not hold this user's preferences: another user could plant or swap
// the file there.
std::optional<std::string> unsafeFolder(const struct stat& info, const std::filesystem::path& folder)
{
    if (!S_ISDIR(info.st_mode)) return folder.string() + " is not a folder";
    if (info.st_uid != geteuid()) return "the folder " + folder.string() + " belongs to another user";
    if (info.st_mode & (S_IWGRP | S_IWOTH))
        return "other users can write in the folder " + folder.string();
    return std::nullopt;
}

// The folder opened for the *at() calls, so that what was checked is what is used. Closed
// with `missing` set when it does not exist; closed with `problem` set when it is unusable.
Descriptor openFolder(const std::filesystem::path& folder, std::string& problem, bool& missing)
{
    missing = false;
    Descriptor fd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd) {
        missing = errno == ENOENT;
        problem = describe("cannot open the folder", folder, errno);
        return fd;
    }
    struct stat info {};
    if (fstat(fd.get(), &info) != 0) {
        problem = describe("cannot examine the folder", folder, errno);
        return Descriptor();
    }
    if (const auto unsafe = unsafeFolder(info, folder)) {
        problem = *unsafe;
        return Descriptor();
    }
    return fd;
}

bool makeFolders(const std::filesystem::path& folder)
{
    if (folder.empty()) return true;
    struct stat info {};
    if (stat(folder.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) return true;
        errno = ENOTDIR;
        return false;
    }
    if (!makeFolders(folder.parent_path())) return false;
    // Preferences are private to the user.
    return mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

constexpr std::string_view kTemporaryTag = ".tmp-";
constexpr std::string_view kSuffixLetters =
    "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

// "<pid>-XXXXXX"; the name is unique through O_EXCL, the suffix only makes a retry rare.
std::string temporarySuffix()
{
    static std::atomic<unsigned long long> counter = 0;
    auto seed = static_cast<unsigned long long>(
                    std::chrono::steady_clock::now().time_since_epoch().count()) ^
                (++counter * 0x9E3779B97F4A7C15ull);
    std::string suffix = std::to_string(getpid()) + "-";
    for (int i = 0; i < 6; ++i) {
        suffix += kSuffixLetters[seed % kSuffixLetters.size()];
        seed /= kSuffixLetters.size();
    }
    return suffix;
}

// The process that wrote a temporary file of ours, from the part of its name after
// ".tmp-": 0 for the six letters of earlier versions, nothing when the name is not ours.
std::optional<pid_t> temporaryWriter(std::string_view suffix)
{
    const auto sixLetters = [](std::string_view letters) {
        return letters.size() == 6 && letters.find_first_not_of(kSuffixLetters) == std::string_view::npos;
    };
    if (sixLetters(suffix)) return pid_t{0};
    const auto dash = suffix.find('-');
    if (dash == std::string_view::npos || !sixLetters(suffix.substr(dash + 1))) return std::nullopt;
    pid_t pid = 0;
    const auto [end, error] = std::from_chars(suffix.data(), suffix.data() + dash, pid);
    if (error != std::errc() || end != suffix.data() + dash || pid <= 0) return std::nullopt;
    return pid;
}

// A save cut short by a kill leaves its temporary file; remove those whose writer is gone.
void removeStaleTemporaries(int folderFd, const std::string& name)
{
    const int copy = fcntl(folderFd, F_DUPFD_CLOEXEC, 0);
    if (copy < 0) return;
    DIR* dir = fdopendir(copy);
    if (!dir) {
        close(copy);
        return;
    }
    const std::string prefix = name + std::string(kTemporaryTag);
    while (const dirent* entry = readdir(dir)) {
        const std::string_view entryName = entry->d_name;
        if (!entryName.starts_with(prefix)) continue;
        const auto writer = temporaryWriter(entryName.substr(prefix.size()));
        if (!writer) continue;
        if (*writer != 0 && (*writer == getpid() || kill(*writer, 0) == 0 || errno != ESRCH))
            continue;
        struct stat info {};
        if (fstatat(folderFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(info.st_mode) || info.st_uid != geteuid())
            continue;
        unlinkat(folderFd, entry->d_name, 0);
    }
    closedir(dir);
}

std::optional<PreferenceValue> fromJson(const Json& value)
{
    if (value.is_string()) return PreferenceValue(value.get<std::string>());
    if (value.is_boolean()) return PreferenceValue(value.get<bool>());
    if (value.is_number_integer() && !value.is_number_unsigned())
        return PreferenceValue(value.get<std::int64_t>());
    if (value.is_number_unsigned()) {
        const auto number = value.get<std::uint64_t>();
        if (number <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
            return PreferenceValue(static_cast<std::int64_t>(number));
        return PreferenceValue(static_cast<double>(number));
    }
    if (value.is_number_float()) return PreferenceValue(value.get<double>());
    return std::nullopt;
}

// Texts that are not valid UTF-8 (a strange device name) are stored with replacement
// characters rather than making the save fail.
std::string jsonText(const Json& value)
{
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string jsonText(const PreferenceValue& value)
{
    return std::visit([](const auto& v) { return jsonText(Json(v)); }, value);
}

// Renames without replacing an existing entry.
bool renameNoReplace(int folderFd, const std::string& from, const std::string& to)
{
    if (renameat2(folderFd, from.c_str(), folderFd, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // File systems without RENAME_NOREPLACE: a hard link fails on an existing name too.
    if (linkat(folderFd, from.c_str(), folderFd, to.c_str(), 0) == 0) {
        if (unlinkat(folderFd, from.c_str(), 0) == 0) return true;
        const int keep = errno;
        unlinkat(folderFd, to.c_str(), 0);
        errno = keep;
        return false;
    }
    if (errno == EEXIST) return false;
    struct stat info {};
    if (fstatat(folderFd, to.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
        errno = EEXIST;
        return false;
    }
    if (errno != ENOENT) return false;
    return renameat(folderFd, from.c_str(), folderFd, to.c_str()) == 0;
}

bool writeAll(int fd, const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t wrote = write(fd, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote < 0) return false;
        if (wrote == 0) {
            errno = ENOSPC;
            return false;
        }
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}

}  // namespace

JsonPreferences::JsonPreferences(std::optional<std::filesystem::path> file)
    : m_file(file.value_or(std::filesystem::path()))
{
    load();
}

std::optional<std::filesystem::path> JsonPreferences::defaultPath(const Environment& environment)
{
    const std::filesystem::path tail = std::filesystem::path("gpsdesk") / "preferences.json";
    if (const char* xdg = environment("XDG_CONFIG_HOME"); xdg && *xdg == '/')
        return std::filesystem::path(xdg) / tail;
    if (auto home = homeFolder(environment)) return std::filesystem::path(*home) / ".config" / tail;
    // Never a shared folder such as /tmp: another user could plant the file or a link there.
    if (const char* runtime = environment("XDG_RUNTIME_DIR"); runtime && *runtime == '/') {
        struct stat info {};
        if (stat(runtime, &info) == 0 && !unsafeFolder(info, runtime))
            return std::filesystem::path(runtime) / tail;
    }
    return std::nullopt;
}

void JsonPreferences::load()
{
    if (m_file.empty()) {
        m_inMemoryReason = "there is no home folder and no private runtime folder";
        return;
    }
    std::string problem;
    bool missing = false;
    const Descriptor folder = openFolder(folderOf(m_file), problem, missing);
    if (missing) return;
    if (!folder) {
        m_inMemoryReason = problem;
        return;
    }
    const std::string name = m_file.filename().string();
    removeStaleTemporaries(folder.get(), name);

    // Without blocking: a FIFO in its place must not hold up the start.
    const Descriptor fd(openat(folder.get(), name.c_str(),
                               O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd) {
        if (errno == ENOENT) return;
        // ELOOP: a symbolic link; ENXIO: a socket.
        if (errno == ELOOP || errno == ENXIO) return setAside(folder.get());
        // Something is there that we cannot see: never write over it.
        m_readFailure = describe("cannot read", m_file, errno);
        return;
    }
    struct stat info {};
    if (fstat(fd.get(), &info) != 0) {
        m_readFailure = describe("cannot read", m_file, errno);
        return;
    }
    if (!S_ISREG(info.st_mode) || static_cast<std::uint64_t>(info.st_size) > kMaxFileBytes)
        return setAside(folder.get());

    std::string text;
    char buffer[8192];
    while (text.size() <= kMaxFileBytes) {
        const ssize_t got = read(fd.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            m_readFailure = describe("cannot read", m_file, errno);
            return;
        }
        if (got == 0) break;
        text.append(buffer, static_cast<std::size_t>(got));
    }
    if (text.size() > kMaxFileBytes || JsonText::nestingDepth(text) > kMaxDepth) return setAside(folder.get());
    const Json json = Json::parse(text, nullptr, false);
    if (!json.is_object()) return setAside(folder.get());

    std::optional<std::map<std::string, std::string>> members;
    for (const auto& [key, value] : json.items()) {
        if (auto converted = fromJson(value)) {
            m_values.emplace(key, std::move(*converted));
            continue;
        }
        if (!members) members = JsonText::memberTexts(text);
        if (const auto found = members->find(key); found != members->end())
            m_foreign.emplace(key, found->second);
    }
}

void JsonPreferences::setAside(int folderFd)
{
    const std::string name = m_file.filename().string();
    for (int n = 0; n < 1000; ++n) {
        const std::string target = name + (n == 0 ? ".corrupt" : ".corrupt." + std::to_string(n));
        if (renameNoReplace(folderFd, name, target)) {
            m_setAside = folderOf(m_file) / target;
            return;
        }
        if (errno != EEXIST) break;
    }
    // Left where it is and never written over: this run's settings stay in memory.
    m_inMemoryReason = describe("cannot put aside", m_file, errno);
}

std::optional<PreferenceValue> JsonPreferences::objectForKey(const std::string& key) const
{
    std::lock_guard lock(m_mutex);
    const auto found = m_values.find(key);
    if (found == m_values.end()) return std::nullopt;
    return found->second;
}

void JsonPreferences::setObject(const std::string& key, const PreferenceValue& value)
{
    std::lock_guard lock(m_mutex);
    m_foreign.erase(key);
    m_values[key] = value;
    m_dirty = true;
}

bool JsonPreferences::synchronize()
{
    std::lock_guard lock(m_mutex);
    if (m_inMemoryReason) return true;
    if (m_readFailure) return fail(*m_readFailure + " (the file is left as it is)");
    if (!m_dirty) return true;
    // One member per line, each value on its line whatever its depth: the size of the file
    // follows the size of the record, not its nesting.
    std::map<std::string, std::string> members = m_foreign;
    for (const auto& [key, value] : m_values) members[key] = jsonText(value);
    std::string text = "{";
    const char* separator = "\n  ";
    for (const auto& [key, value] : members) {
        text += separator + jsonText(Json(key)) + ": " + value;
        separator = ",\n  ";
    }
    text += members.empty() ? "}\n" : "\n}\n";
    if (!writeFile(text)) return false;
    m_dirty = false;
    m_failureReason.clear();
    return true;
}

std::string JsonPreferences::failureReason() const
{
    std::lock_guard lock(m_mutex);
    return m_failureReason;
}

bool JsonPreferences::fail(const std::string& reason)
{
    m_failureReason = reason;
    return false;
}

bool JsonPreferences::writeFile(const std::string& text)
{
    const std::filesystem::path folderPath = folderOf(m_file);
    if (!makeFolders(folderPath)) return fail(describe("cannot make the folder", folderPath, errno));
    std::string problem;
    bool missing = false;
    const Descriptor folder = openFolder(folderPath, problem, missing);
    if (!folder) return fail(problem);

    const std::string name = m_file.filename().string();
    std::string temporary;
    Descriptor fd;
    for (int attempt = 0; attempt < 100 && !fd; ++attempt) {
        temporary = name + std::string(kTemporaryTag) + temporarySuffix();
        fd = Descriptor(openat(folder.get(), temporary.c_str(),
                               O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!fd && errno != EEXIST) break;
    }
    if (!fd) return fail(describe("cannot write in the folder", folderPath, errno));
    const bool written = writeAll(fd.get(), text) && fsync(fd.get()) == 0;
    const int writeError = errno;
    if (fd.close() != 0 || !written) {
        const int error = written ? errno : writeError;
        unlinkat(folder.get(), temporary.c_str(), 0);
        return fail(describe("cannot write", m_file, error));
    }
    if (m_beforeRename && !m_beforeRename(folderPath / temporary))
        return fail("the save of " + m_file.string() + " was abandoned");
    // rename() replaces whatever has the name, a planted link included, and follows nothing.
    if (renameat(folder.get(), temporary.c_str(), folder.get(), name.c_str()) != 0) {
        const int error = errno;
        unlinkat(folder.get(), temporary.c_str(), 0);
        return fail(describe("cannot replace", m_file, error));
    }
    // The rename itself is durable only once the folder is synced (EINVAL: not supported there).
    if (fsync(folder.get()) != 0 && errno != EINVAL)
        return fail(describe("cannot sync the folder", folderPath, errno));
    return true;
}

}  // namespace platform::posix
