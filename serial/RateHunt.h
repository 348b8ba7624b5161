// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/ByteBuffer.h"

class Serial;

// Finds the line rate of a receiver: opens the port at one rate after another and settles on
// the first at which two checksum-valid sentences arrive within the listening window. Reader
// thread; one hunt per object.
class RateHunt {
public:
    // The rate choice that has the reader find the rate by itself.
    static constexpr const char* kAutomaticRate = "Automatic";

    // The rates a port is offered at, in the settings list's order.
    static const std::vector<std::string>& listRates();
    // The order of the hunt: the stored rate first (when it is a real rate), then the rates
    // receivers most often start at, then the rest.
    static std::vector<std::string> candidates(const std::optional<std::string>& storedRate);

    // Lines of one rate's trial: true once enough valid sentences came. Bytes, not lines,
    // so that garbage without line ends counts too.
    class Trial {
    public:
        void take(const ByteBuffer& bytes);
        bool settled() const { return m_valid >= kValidNeeded; }
        // So many bytes without one good sentence: no need to sit out the window.
        bool hopeless() const { return m_valid == 0 && m_bytes > kHopelessBytes; }

    private:
        static constexpr int kValidNeeded = 2;
        static constexpr std::uint64_t kHopelessBytes = 768;
        ByteBuffer m_line;
        int m_valid = 0;
        std::uint64_t m_bytes = 0;
    };

    struct Result {
        std::unique_ptr<Serial> port;  // open at rate; null when no rate worked
        std::string rate;
        int error = 0;  // errno of an open that failed; the hunt stops there
        // Ended by stop before a rate was found: not every rate was given its window, so
        // "no rate gave valid sentences" would not be true.
        bool cutShort = false;
    };

    // stop: asked between reads; trying: told each rate before it is tried.
    RateHunt(std::function<bool()> stop, std::function<void(const std::string&)> trying);
    Result run(const std::string& path, const std::vector<std::string>& rates,
               double windowSeconds = 2.0);

private:
    std::function<bool()> m_stop;
    std::function<void(const std::string&)> m_trying;
};
