#include "platform/posix/JsonPreferences.h"

#include <cerrno>
#include <cstdio>
#include <limits>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

namespace platform::posix {

namespace {

using Json = nlohmann::json;

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

Json toJson(const PreferenceValue& value)
{
    return std::visit([](const auto& v) { return Json(v); }, value);
}

enum class ReadResult { Read, Missing, Failed };

ReadResult readWhole(const std::filesystem::path& file, std::string& text)
{
    const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
    char buffer[8192];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            close(fd);
            return ReadResult::Failed;
        }
        if (got == 0) break;
        text.append(buffer, static_cast<std::size_t>(got));
    }
    close(fd);
    return ReadResult::Read;
}

// Renames without replacing an existing file.
bool renameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to)
{
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // File systems without RENAME_NOREPLACE: a hard link fails on an existing name too.
    if (link(from.c_str(), to.c_str()) == 0) {
        if (unlink(from.c_str()) == 0) return true;
        const int keep = errno;
        unlink(to.c_str());
        errno = keep;
        return false;
    }
    if (errno == EEXIST) return false;
    struct stat info {};
    if (lstat(to.c_str(), &info) == 0 || errno != ENOENT) return false;
    return rename(from.c_str(), to.c_str()) == 0;
}

std::optional<std::filesystem::path> putAside(const std::filesystem::path& file)
{
    for (int n = 0; n < 1000; ++n) {
        std::filesystem::path target = file;
        target += n == 0 ? std::string(".corrupt") : ".corrupt." + std::to_string(n);
        if (renameNoReplace(file, target)) return target;
        if (errno != EEXIST) return std::nullopt;
    }
    return std::nullopt;
}

bool makeFolders(const std::filesystem::path& folder)
{
    if (folder.empty()) return true;
    struct stat info {};
    if (stat(folder.c_str(), &info) == 0) return S_ISDIR(info.st_mode);
    if (!makeFolders(folder.parent_path())) return false;
    // Preferences are private to the user.
    return mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

bool writeAll(int fd, const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t wrote = write(fd, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return false;
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}

}  // namespace

JsonPreferences::JsonPreferences(std::filesystem::path file) : m_file(std::move(file))
{
    load();
}

std::filesystem::path JsonPreferences::defaultPath(const Environment& environment)
{
    std::filesystem::path config;
    if (const char* xdg = environment("XDG_CONFIG_HOME"); xdg && *xdg == '/') config = xdg;
    else if (auto home = homeFolder(environment)) config = std::filesystem::path(*home) / ".config";
    else config = "/tmp";  // no home at all: still somewhere writable for this run
    return config / "gpsdesk" / "preferences.json";
}

void JsonPreferences::load()
{
    std::string text;
    switch (readWhole(m_file, text)) {
    case ReadResult::Missing:
        return;
    case ReadResult::Failed:
        // Something is there that we cannot see: never write over it.
        m_writable = false;
        return;
    case ReadResult::Read:
        break;
    }
    const Json json = Json::parse(text, nullptr, false);
    if (!json.is_object()) {
        m_setAside = putAside(m_file);
        if (!m_setAside) m_writable = false;
        return;
    }
    for (const auto& [key, value] : json.items()) {
        if (auto converted = fromJson(value)) m_values.emplace(key, std::move(*converted));
        else m_foreign.emplace(key, value.dump());
    }
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
    if (!m_writable) return false;
    if (!m_dirty) return true;
    Json json = Json::object();
    for (const auto& [key, text] : m_foreign) json[key] = Json::parse(text, nullptr, false);
    for (const auto& [key, value] : m_values) json[key] = toJson(value);
    // Texts that are not valid UTF-8 (a strange device name) are stored with replacement
    // characters rather than making the save fail.
    const std::string text = json.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
    if (!writeFile(text)) return false;
    m_dirty = false;
    return true;
}

bool JsonPreferences::writeFile(const std::string& text)
{
    // Through a symbolic link (a managed dotfile) the file it points at is replaced, not the link.
    std::filesystem::path target = m_file;
    std::error_code error;
    if (std::filesystem::is_symlink(m_file, error)) {
        const auto resolved = std::filesystem::weakly_canonical(m_file, error);
        if (error) return false;
        target = resolved;
    }
    const std::filesystem::path folder = target.parent_path();
    if (!makeFolders(folder)) return false;

    std::string temporary = (target.string() + ".tmp-XXXXXX");
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return false;
    const bool written = writeAll(fd, text) && fsync(fd) == 0;
    if (close(fd) != 0 || !written) {
        unlink(temporary.c_str());
        return false;
    }
    if (m_beforeRename && !m_beforeRename(temporary)) return false;
    if (rename(temporary.c_str(), target.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    // The rename itself is durable only once the folder is synced.
    const int folderFd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0) return false;
    const bool synced = fsync(folderFd) == 0 || errno == EINVAL;  // EINVAL: not supported there
    close(folderFd);
    return synced;
}

}  // namespace platform::posix
