// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <map>
#include <string>

#include "platform/SecretStore.h"

namespace qtplatform {

// The desktop's secret service (GNOME Keyring, KWallet, KeePassXC, ...) through QtKeychain,
// under the service name "gpsdesk". Never falls back to a file: when no secret service
// answers, a written secret is kept in this object's memory for the session only and the
// result says so. Each call waits for the service (at most timeoutMilliseconds) in a local
// event loop; it needs a Qt application object. Main thread.
class QtSecretStore : public platform::SecretStore {
public:
    explicit QtSecretStore(int timeoutMilliseconds = 15000) : m_timeoutMilliseconds(timeoutMilliseconds) {}

    Result read(const std::string& name) override;
    Result write(const std::string& name, const std::string& secret) override;
    Result erase(const std::string& name) override;

private:
    int m_timeoutMilliseconds;
    std::map<std::string, std::string> m_session;
};

}  // namespace qtplatform
