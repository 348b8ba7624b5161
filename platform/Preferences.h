// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

namespace platform {

// A stored value keeps its type: a text stays a text, an integer an integer.
using PreferenceValue = std::variant<std::string, std::int64_t, double, bool>;

// The per-user, persistent key/value store.
class Preferences {
public:
    virtual ~Preferences() = default;
    virtual std::optional<PreferenceValue> objectForKey(const std::string& key) const = 0;
    virtual void setObject(const std::string& key, const PreferenceValue& value) = 0;
    // Writes pending changes to permanent storage now; false when that failed.
    virtual bool synchronize() = 0;
    // Why the last synchronize() failed, in words for the user; empty when it did not.
    virtual std::string failureReason() const { return {}; }
};

}  // namespace platform
