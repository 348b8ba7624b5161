// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>

// Tells a wrong line rate from a quiet receiver: bytes keep arriving, yet no sentence has
// passed its checksum for a while. Says so once per spell; a valid sentence ends the spell.
// Times are seconds on any steady clock. One thread.
class WrongRateWatch {
public:
    static constexpr double kSpellSeconds = 3.0;

    // A fresh connection: the spell counts from now.
    void reset(double now, std::uint64_t bytesReceived);
    // After each read, with the port's running byte count; true exactly once per spell, when
    // bytes came within the last second and no valid sentence for kSpellSeconds.
    bool observe(double now, std::uint64_t bytesReceived);
    void validSentence(double now);

private:
    double m_lastValid = 0.0;
    double m_lastBytes = -1.0e9;
    std::uint64_t m_bytes = 0;
    bool m_told = false;
};
