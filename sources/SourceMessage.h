// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <string>
#include <vector>

// A user-facing message of a network source: a key of the message tables plus the texts
// for its "%@" places. A plain value, safe to copy from a network thread to the main thread;
// text() looks the key up and belongs to the thread that shows it. An empty key means "no
// message". Arguments never hold a password.
struct SourceMessage {
    std::string key;
    std::vector<std::string> arguments;

    bool empty() const { return key.empty(); }
    // The message in the user's language, each "%@" replaced by the next argument.
    std::string text() const;

    friend bool operator==(const SourceMessage&, const SourceMessage&) = default;
};
