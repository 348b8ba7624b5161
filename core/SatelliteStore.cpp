// SPDX-License-Identifier: BSD-2-Clause
#include "core/SatelliteStore.h"

#include <algorithm>

#include "platform/Drawer.h"
#include "core/SkyPlotView.h"

void SatelliteStore::start()
{
    m_satelliteArray.clear();
    m_satelliteArray.reserve(kSlots);
    for (std::uint32_t i = 0; i < kSlots; ++i) {
        auto record = Satellite::satellite();
        record->clear();
        m_satelliteArray.push_back(std::move(record));
    }
    setDop(0.0f, 0.0f, 0.0f);
    if (m_satelliteDrawer) m_satelliteDrawer->open();
}

void SatelliteStore::clear()
{
    for (const auto& record : m_satelliteArray) record->clear();
}

void SatelliteStore::setSatellitesInView(std::vector<SatelliteInView> satellites)
{
    // Stable, so that a GPS-only sky keeps the receiver's order and with it the columns a
    // GSV sequence filled slot by slot.
    std::stable_sort(satellites.begin(), satellites.end(),
                     [](const SatelliteInView& a, const SatelliteInView& b) {
                         return a.constellation < b.constellation;
                     });
    const std::size_t slots = std::max<std::size_t>(kSlots, satellites.size());
    m_satelliteArray.resize(slots);
    for (std::size_t i = 0; i < slots; ++i) {
        if (!m_satelliteArray[i]) m_satelliteArray[i] = Satellite::satellite();
        if (i < satellites.size())
            m_satelliteArray[i]->set(satellites[i]);
        else
            m_satelliteArray[i]->clear();
    }
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
    setAltitude(0.0f);
    setDop(0.0f, 0.0f, 0.0f);
}

void SatelliteStore::setDop(float pdop, float hdop, float vdop)
{
    m_pDop = pdop;
    m_hDop = hdop;
    m_vDop = vdop;
    update();
}

void SatelliteStore::setAltitude(float feet)
{
    m_altitudeFeet = feet;
    update();
}

float SatelliteStore::epe() const
{
    return epeForHdop(m_hDop);
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
