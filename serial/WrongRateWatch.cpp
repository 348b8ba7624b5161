// SPDX-License-Identifier: BSD-2-Clause
#include "serial/WrongRateWatch.h"

void WrongRateWatch::reset(double now, std::uint64_t bytesReceived)
{
    m_lastValid = now;
    m_lastBytes = -1.0e9;
    m_bytes = bytesReceived;
    m_told = false;
}

bool WrongRateWatch::observe(double now, std::uint64_t bytesReceived)
{
    if (bytesReceived != m_bytes) {
        m_bytes = bytesReceived;
        m_lastBytes = now;
    }
    // A line that fell silent is the staleness watch's business, not a rate question.
    const bool bytesFlowing = now - m_lastBytes <= 1.0;
    if (m_told || !bytesFlowing || now - m_lastValid < kSpellSeconds) return false;
    m_told = true;
    return true;
}

void WrongRateWatch::validSentence(double now)
{
    m_lastValid = now;
    m_told = false;
}
