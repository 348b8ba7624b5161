// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <map>
#include <optional>
#include <string>

#include "platform/SecretStore.h"

namespace fakes {

// A secret store in memory; `unavailable` set: every call fails as without a secret service.
class FakeSecretStore : public platform::SecretStore {
public:
    std::map<std::string, std::string> secrets;
    std::optional<std::string> unavailable;
    int calls = 0;

    Result read(const std::string& name) override
    {
        ++calls;
        if (unavailable) return {Status::Unavailable, {}, *unavailable};
        const auto found = secrets.find(name);
        if (found == secrets.end()) return {Status::NotFound, {}, {}};
        return {Status::Stored, found->second, {}};
    }
    Result write(const std::string& name, const std::string& secret) override
    {
        ++calls;
        if (unavailable) return {Status::Unavailable, {}, *unavailable};
        secrets[name] = secret;
        return {Status::Stored, {}, {}};
    }
    Result erase(const std::string& name) override
    {
        ++calls;
        if (unavailable) return {Status::Unavailable, {}, *unavailable};
        return {secrets.erase(name) ? Status::Stored : Status::NotFound, {}, {}};
    }
};

}  // namespace fakes
