// SPDX-License-Identifier: BSD-2-Clause
#include "instruments/SatelliteStore.h"
#include "receiver/PositionError.h"

#include <algorithm>

#include "platform/Drawer.h"
#include "instruments/SkyPlotView.h"

void SatelliteStore::start()
{
    m_satelliteArray.clear();
    m_satelliteArray.reserve(kSlots);
    for (std::uint32_t i = 0; i < kSlots; ++i) {
        auto record = Satellite::satellite();
        record->clear();
        m_satelliteArray.push_back(std::move(record));
    }
    m_inView.clear();
    m_pDop = m_hDop = m_vDop = 0.0f;
    update();
    if (m_satelliteDrawer) m_satelliteDrawer->open();
}

namespace {

bool sameSky(const std::vector<SatelliteInView>& a, const std::vector<SatelliteInView>& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const SatelliteInView& x, const SatelliteInView& y) {
        return x.constellation == y.constellation && x.svid == y.svid && x.elevationDegrees == y.elevationDegrees &&
               x.azimuthDegrees == y.azimuthDegrees && x.snrDbHz == y.snrDbHz && x.usedInFix == y.usedInFix &&
               x.health == y.health && x.quality == y.quality;
    });
}

}  // namespace

void SatelliteStore::clear()
{
    for (const auto& record : m_satelliteArray) record->clear();
    m_inView.clear();
}

void SatelliteStore::setSatellitesInView(std::vector<SatelliteInView> satellites)
{
    // Stable, so that a GPS-only sky keeps the receiver's order and with it the columns a
    // GSV sequence filled slot by slot.
    std::stable_sort(satellites.begin(), satellites.end(),
                     [](const SatelliteInView& a, const SatelliteInView& b) {
                         return a.constellation < b.constellation;
                     });
    // A cycle that brings the same sky is not drawn again.
    if (sameSky(satellites, m_inView) && !m_satelliteArray.empty()) return;
    m_inView = satellites;
    const std::size_t slots = std::max<std::size_t>(kSlots, satellites.size());
    m_satelliteArray.resize(slots);
    for (std::size_t i = 0; i < slots; ++i) {
        if (!m_satelliteArray[i]) m_satelliteArray[i] = Satellite::satellite();
        if (i < satellites.size())
            m_satelliteArray[i]->set(satellites[i]);
        else
            m_satelliteArray[i]->clear();
    }
    m_inView = std::move(satellites);
    update();
}

Satellite* SatelliteStore::satellite(std::uint32_t index)
{
    if (index >= m_satelliteArray.size()) return nullptr;
    return m_satelliteArray[index].get();
}

const Satellite* SatelliteStore::satellite(std::uint32_t index) const
{
    if (index >= m_satelliteArray.size()) return nullptr;
    return m_satelliteArray[index].get();
}

void SatelliteStore::update()
{
    if (m_satelliteView) m_satelliteView->setNeedsDisplay();
}

void SatelliteStore::reset()
{
    clear();
    m_altitudeFeet = 0.0f;
    m_pDop = m_hDop = m_vDop = 0.0f;
    update();
}

void SatelliteStore::setDop(float pdop, float hdop, float vdop)
{
    if (pdop == m_pDop && hdop == m_hDop && vdop == m_vDop) return;
    m_pDop = pdop;
    m_hDop = hdop;
    m_vDop = vdop;
    update();
}

void SatelliteStore::setAltitude(float feet)
{
    if (feet == m_altitudeFeet) return;
    m_altitudeFeet = feet;
    update();
}

float SatelliteStore::epe() const
{
    return estimatedPositionErrorFeet(m_hDop);
}

void SatelliteStore::close()
{
    reset();
    if (m_satelliteDrawer) m_satelliteDrawer->close();
}

void SatelliteStore::setTransparent(bool opaque)
{
    if (m_satelliteView) m_satelliteView->setWindowAlphaValue(opaque ? 1.0f : 0.7f);
}
