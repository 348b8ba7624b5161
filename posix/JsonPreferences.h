// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "platform/Preferences.h"

namespace platform::posix {

// The preferences record as one JSON object in a file: texts are JSON strings, integers JSON
// integers, so each value keeps its type. Read once at construction; written only by
// synchronize(), atomically (temporary file in the same folder, fsync, rename, fsync of the
// folder), so a crash leaves either the old or the new file, never a torn one.
//
// The file is hostile input: only a regular file of at most kMaxFileBytes, nested at most
// kMaxDepth deep, is read, without following a symbolic link and without blocking. Anything
// else in its place (a symbolic link, a FIFO, a directory, a file that cannot be parsed) is
// renamed aside (".corrupt", or ".corrupt.N" when that name is taken) and the record starts
// empty, as on a first run. A file that exists but cannot be read is never overwritten:
// synchronize() then answers false.
//
// The folder must belong to the user and be writable by nobody else; otherwise, and when
// there is no path at all, the record is kept in memory for this run only (inMemoryReason()).
class JsonPreferences : public platform::Preferences {
public:
    using Environment = std::function<const char*(const char*)>;

    static constexpr std::size_t kMaxFileBytes = 1024 * 1024;
    static constexpr std::size_t kMaxDepth = 10000;

    // No file: the record lives in memory only.
    explicit JsonPreferences(std::optional<std::filesystem::path> file);

    // $XDG_CONFIG_HOME/gpsdesk/preferences.json, with ~/.config when it is unset or not an
    // absolute path; without a home folder, $XDG_RUNTIME_DIR/gpsdesk/preferences.json when
    // that folder is the user's own and private; otherwise nothing (never a shared folder).
    static std::optional<std::filesystem::path> defaultPath(const Environment& environment = ::getenv);

    std::optional<platform::PreferenceValue> objectForKey(const std::string& key) const override;
    void setObject(const std::string& key, const platform::PreferenceValue& value) override;
    // In memory only: true, nothing is written (the user was told at start).
    bool synchronize() override;
    std::string failureReason() const override;

    // Empty when the record lives in memory only.
    const std::filesystem::path& path() const { return m_file; }
    // Where an unusable file was put at construction, if that happened.
    const std::optional<std::filesystem::path>& setAsidePath() const { return m_setAside; }
    // Why the record is kept in memory only, when it is.
    const std::optional<std::string>& inMemoryReason() const { return m_inMemoryReason; }

    // Runs after the temporary file is complete and synced, just before the rename. Returning
    // false abandons the save at that point, leaving things as a crash there would.
    void setBeforeRenameHook(std::function<bool(const std::filesystem::path& temporary)> hook)
    {
        m_beforeRename = std::move(hook);
    }

private:
    void load();
    void setAside(int folderFd);
    bool writeFile(const std::string& text);
    bool fail(const std::string& reason);

    std::filesystem::path m_file;
    mutable std::mutex m_mutex;
    std::map<std::string, platform::PreferenceValue> m_values;
    // Entries of the file we cannot represent (null, arrays, objects), as their JSON text in
    // the file, kept so that a save does not drop them.
    std::map<std::string, std::string> m_foreign;
    std::optional<std::filesystem::path> m_setAside;
    std::optional<std::string> m_inMemoryReason;
    // Set when the file is there but unreadable: why a save would be refused.
    std::optional<std::string> m_readFailure;
    std::string m_failureReason;
    bool m_dirty = false;
    std::function<bool(const std::filesystem::path&)> m_beforeRename;
};

}  // namespace platform::posix
