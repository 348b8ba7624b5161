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
// A file that cannot be parsed is renamed aside (".corrupt", or ".corrupt.N" when that name
// is taken) and the record starts empty, as on a first run. A file that exists but cannot be
// read (or put aside) is never overwritten: synchronize() then answers false.
class JsonPreferences : public platform::Preferences {
public:
    using Environment = std::function<const char*(const char*)>;

    explicit JsonPreferences(std::filesystem::path file);

    // $XDG_CONFIG_HOME/gpsdesk/preferences.json, with ~/.config when it is unset or not an
    // absolute path.
    static std::filesystem::path defaultPath(const Environment& environment = ::getenv);

    std::optional<platform::PreferenceValue> objectForKey(const std::string& key) const override;
    void setObject(const std::string& key, const platform::PreferenceValue& value) override;
    bool synchronize() override;

    const std::filesystem::path& path() const { return m_file; }
    // Where an unparseable file was put at construction, if that happened.
    const std::optional<std::filesystem::path>& setAsidePath() const { return m_setAside; }

    // Runs after the temporary file is complete and synced, just before the rename. Returning
    // false abandons the save at that point, leaving things as a crash there would.
    void setBeforeRenameHook(std::function<bool(const std::filesystem::path& temporary)> hook)
    {
        m_beforeRename = std::move(hook);
    }

private:
    void load();
    bool writeFile(const std::string& text);

    std::filesystem::path m_file;
    mutable std::mutex m_mutex;
    std::map<std::string, platform::PreferenceValue> m_values;
    // Entries of the file we cannot represent (null, arrays, objects), as JSON text, kept so
    // that a save does not drop them.
    std::map<std::string, std::string> m_foreign;
    std::optional<std::filesystem::path> m_setAside;
    bool m_dirty = false;
    bool m_writable = true;
    std::function<bool(const std::filesystem::path&)> m_beforeRename;
};

}  // namespace platform::posix
