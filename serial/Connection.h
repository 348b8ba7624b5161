// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/ByteBuffer.h"

class Serial;

// Opens a receiver's port and makes the receiver ready to be read: at the chosen rate or, for
// the automatic rate, at the rate a hunt finds (the stored rate first), then the receiver's
// setup. The window's reader and headless both connect through it, so every case — a rate
// that cannot be found, a port that cannot be opened — is settled alike. Reader thread; one
// per connect.
class Connection {
public:
    struct Events {
        // A line for the monitor (window) or standard error (headless), in the user's words.
        std::function<void(const std::string& text)> message;
        // The automatic rate settled on this rate (to be stored). May be empty.
        std::function<void(const std::string& rate)> rateFound;
    };
    struct Opened {
        std::unique_ptr<Serial> port;  // null: not opened
        std::string rate;              // the rate it is open at
        int error = 0;                 // errno of the failed open; 0 when cut short by stopping
    };

    Connection(Events events, std::function<bool()> stopping);

    // Opens port at rate; for "Automatic" tries storedRate first, then the usual rates. When
    // no rate gives sentences (a receiver that is still silent, say) the port is opened at
    // the first candidate all the same, with a message, so what comes later is still read.
    Opened open(const std::string& port, const std::string& rate,
                const std::optional<std::string>& storedRate);

    // The receiver's setup on a port just opened. The lines the receiver sent while its
    // banner was awaited come back as read (line feed included), to go the normal road.
    static std::vector<ByteBuffer> initialise(Serial& serial, const std::string& port,
                                              const std::string& rate);

private:
    Events m_events;
    std::function<bool()> m_stopping;
};
