// SPDX-License-Identifier: BSD-2-Clause
#include "receiver/Satellite.h"

#include <cmath>

#include "receiver/SignalNames.h"

std::shared_ptr<Satellite> Satellite::satellite()
{
    return std::make_shared<Satellite>();
}

std::int32_t Satellite::strengthForSnr(std::int32_t snr)
{
    const double x = static_cast<double>(snr);
    const double exponent = x > 50.0 ? 4.496402877697842 : x / 11.12;
    // exp() of the capped exponent is at most 89.7, so the conversion cannot overflow.
    return static_cast<std::int32_t>(std::exp(exponent));
}

void Satellite::set(std::int32_t number, std::int32_t elevation, std::int32_t azimuth,
                    std::int32_t snr)
{
    m_number = number;
    m_elevation = elevation;
    m_degrees = azimuth;
    m_strength = strengthForSnr(snr);
    m_constellation = Constellation::GPS;
    m_usedInFix = false;
    m_multiBand = false;
    m_signals.clear();
}

void Satellite::set(const SatelliteInView& satellite)
{
    m_number = satellite.svid;
    m_elevation = satellite.elevationDegrees.value_or(kNoPlace);
    m_degrees = satellite.azimuthDegrees.value_or(kNoPlace);
    m_strength = satellite.snrDbHz ? strengthForSnr(*satellite.snrDbHz) : 0;
    m_constellation = satellite.constellation;
    m_usedInFix = satellite.usedInFix;
    m_multiBand = isMultiBand(satellite);
    m_signals = satellite.signalList;
}

void Satellite::clear()
{
    set(0, 0, 0, 0);
}
