// SPDX-License-Identifier: BSD-2-Clause
#include "quality/SignalHistory.h"

#include <algorithm>
#include <cmath>

void SignalHistory::record(double now, std::span<const SatelliteInView> inView)
{
    if (!std::isfinite(now)) return;
    if (!m_samples.empty() && now < m_samples.newest().timeSeconds) m_samples.clear();
    while (!m_samples.empty() && m_samples.oldest().timeSeconds < now - kWindowSeconds) {
        m_samples.popOldest();
    }
    for (const SatelliteInView& satellite : inView) {
        if (satellite.svid < 1 || satellite.svid > 0xFFFF) continue;
        SignalSample sample;
        sample.timeSeconds = now;
        sample.constellation = satellite.constellation;
        sample.svid = static_cast<std::uint16_t>(satellite.svid);
        sample.snrDbHz = static_cast<std::uint8_t>(std::clamp(satellite.snrDbHz.value_or(0), 0, 99));
        sample.usedInFix = satellite.usedInFix;
        m_samples.push(sample);
    }
}
