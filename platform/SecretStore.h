// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <string>

namespace platform {

// Secrets (the caster's password) by name, in the desktop's secret store: never in the
// preferences file, a log or the command line. Calls may wait for the store (a locked
// keyring asks the user to unlock it), so they belong to the main thread or a thread that
// may wait, never the reader thread.
class SecretStore {
public:
    enum class Status {
        Stored,         // read, written or erased in the secret store
        NotFound,       // nothing stored under the name
        KeptForSession, // no usable secret store: held in this process's memory only
        Unavailable,    // no secret store runs, or it refused; detail says why
    };
    struct Result {
        Status status = Status::NotFound;
        std::string secret;  // read only; empty otherwise
        std::string detail;  // why the store could not be used, in the store's words
    };

    virtual ~SecretStore() = default;
    virtual Result read(const std::string& name) = 0;
    virtual Result write(const std::string& name, const std::string& secret) = 0;
    virtual Result erase(const std::string& name) = 0;
};

}  // namespace platform
