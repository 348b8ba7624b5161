// SPDX-License-Identifier: BSD-2-Clause
// Arbitrary bytes as the preferences file: reading must never crash, hang or recurse out of
// stack, and whatever was read must be written back as a file that reads the same again
// (entries the record cannot represent included), never one that would be put aside.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <unistd.h>

#include "posix/JsonPreferences.h"

namespace {

using platform::PreferenceValue;
using platform::posix::JsonPreferences;

const char* const kKeys[] = {"serialPort", "rate", "units", "a", ""};

// A folder of its own for the run, removed when the run ends normally.
struct WorkFolder {
    std::filesystem::path root;
    WorkFolder()
    {
        // Memory-backed when there is one: every save syncs the file and its folder.
        const std::filesystem::path base = std::filesystem::is_directory("/dev/shm")
                                               ? "/dev/shm"
                                               : std::filesystem::temp_directory_path();
        std::string pattern = (base / "gpsdesk-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::abort();
        root = pattern;
    }
    ~WorkFolder()
    {
        std::error_code error;
        std::filesystem::remove_all(root, error);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const WorkFolder work;
    const std::filesystem::path folder = work.root / "gpsdesk";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directory(folder);
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
    const std::filesystem::path file = folder / "preferences.json";
    {
        std::ofstream out(file, std::ios::binary);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }

    std::optional<PreferenceValue> before[std::size(kKeys)];
    bool setAside = false;
    {
        JsonPreferences store(file);
        setAside = store.setAsidePath().has_value();
        if (store.inMemoryReason()) std::abort();
        for (std::size_t i = 0; i < std::size(kKeys); ++i) before[i] = store.objectForKey(kKeys[i]);
        store.setObject("fuzz", std::int64_t{1});
        if (!store.synchronize()) std::abort();
    }

    JsonPreferences again(file);
    if (again.setAsidePath()) std::abort();  // we wrote a file we cannot read
    if (again.objectForKey("fuzz") != PreferenceValue(std::int64_t{1})) std::abort();
    if (!setAside)
        for (std::size_t i = 0; i < std::size(kKeys); ++i)
            if (again.objectForKey(kKeys[i]) != before[i]) std::abort();
    return 0;
}
