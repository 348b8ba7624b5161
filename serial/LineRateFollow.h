// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Follows a receiver to a new line rate it acknowledged (or may have taken): the port is
// reopened at the new rate and the receiver asked who it is (MON-VER) every probeSeconds until
// it answers, for at most hearSeconds; when it does not, the port goes back to the old rate and
// asks there as long. Each outcome is said in plain words. One thread; call tick() a few times
// a second while following().
class LineRateFollow {
public:
    struct Hooks {
        std::function<void(std::vector<std::uint8_t> frame)> send;
        std::function<void(const std::string& text, bool problem)> message;
        // Reopens the port at baud; false when it could not. Empty: the change is only told.
        std::function<bool(std::uint32_t baud)> reopenAt;
        std::function<double()> now;  // seconds on a steady clock
    };
    enum class Outcome : std::uint8_t {
        Following,  // still asking
        Followed,   // heard at the new rate
        Failed,     // at the old rate (heard there or not), or the port could not follow
    };

    LineRateFollow(Hooks hooks, double hearSeconds, double probeSeconds)
        : m_hooks(std::move(hooks)), m_hearSeconds(hearSeconds), m_probeSeconds(probeSeconds)
    {
    }

    // from: the rate the port is open at (0 when not known: the change is only told).
    Outcome start(std::uint32_t from, std::uint32_t to);
    // The receiver answered at the rate the port is at now.
    Outcome heard();
    Outcome tick();

    bool following() const { return m_following; }
    // The rate the port is at after the outcome.
    std::uint32_t lineRate() const { return m_fallingBack ? m_from : m_to; }

private:
    void say(const std::string& key, std::vector<std::string> arguments, bool problem);
    Outcome fail();

    Hooks m_hooks;
    double m_hearSeconds;
    double m_probeSeconds;
    bool m_following = false;
    std::uint32_t m_from = 0;
    std::uint32_t m_to = 0;
    bool m_fallingBack = false;
    double m_deadline = 0.0;
    double m_lastProbe = -1e9;
};
