// SPDX-License-Identifier: BSD-2-Clause
#include "app/ReadoutFreshness.h"

#include <algorithm>

void ReadoutFreshness::refreshed(Readout readout, double nowSeconds)
{
    Entry& entry = m_entries[readout];
    // Several sentences of one cycle refresh the same read-out within milliseconds; only the
    // gap between cycles is the sentence's interval.
    if (entry.last >= 0.0 && nowSeconds - entry.last >= 0.5) entry.interval = nowSeconds - entry.last;
    entry.last = nowSeconds;
}

bool ReadoutFreshness::stale(Readout readout, double nowSeconds) const
{
    const Entry& entry = m_entries[readout];
    if (entry.last < 0.0) return false;
    const double allowed = std::max(kMinimumStaleSeconds, kIntervalsBeforeStale * entry.interval);
    return nowSeconds - entry.last > allowed;
}
