// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "nmea/Constellation.h"

// One satellite in view, as the sky plot shows it. Number 0 marks an empty slot.
class Satellite {
public:
    // elevation() and degrees() of a satellite whose place the receiver did not give.
    static constexpr std::int32_t kNoPlace = -1;

    // A new record with every field 0; shared with whoever keeps it.
    static std::shared_ptr<Satellite> satellite();

    // Stores number, elevation (degrees above the horizon) and azimuth (degrees clockwise
    // from true north) as given, and replaces the strength with the one derived from snr
    // (decibels). Nothing is validated or clamped. The record becomes a GPS satellite not
    // used in the fix.
    void set(std::int32_t number, std::int32_t elevation, std::int32_t azimuth, std::int32_t snr);
    // Takes a satellite of the receiver model: its system, number, place, use in the fix and
    // its signals.
    // No signal (nothing) gives strength 0, which the plot shows red; an unknown elevation or
    // azimuth gives kNoPlace, which the plot does not place.
    void set(const SatelliteInView& satellite);
    // set(0, 0, 0, 0): an empty slot (strength 1).
    void clear();

    std::int32_t number() const { return m_number; }
    std::int32_t elevation() const { return m_elevation; }
    std::int32_t degrees() const { return m_degrees; }
    // Display strength 0 to 89; 0 for no signal or a negative ratio.
    std::int32_t strength() const { return m_strength; }
    Constellation constellation() const { return m_constellation; }
    bool usedInFix() const { return m_usedInFix; }
    // The signals the receiver reported one by one; empty when it did not (strength() is then
    // the one signal's). Not "signals": a macro wherever Qt is included.
    const std::vector<SignalInView>& signalList() const { return m_signals; }
    // Signals on two or more bands.
    bool multiBand() const { return m_multiBand; }

    // The display strength for a signal-to-noise ratio: e^(snr / 11.12), truncated, with the
    // ratio capped at 50 so that the bars top out just under the plot's height.
    static std::int32_t strengthForSnr(std::int32_t snr);

private:
    std::int32_t m_number = 0;
    std::int32_t m_elevation = 0;
    std::int32_t m_degrees = 0;
    std::int32_t m_strength = 0;
    Constellation m_constellation = Constellation::GPS;
    bool m_usedInFix = false;
    bool m_multiBand = false;
    std::vector<SignalInView> m_signals;
};
