// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "nmea/Constellation.h"
#include "receiver/Satellite.h"

namespace platform {
class Drawer;
}
class SkyPlotView;

// The satellite drawer's store: the satellites in view (at least twelve slots, filled one by
// one from GSV sentences or all at once from the receiver model), the dilution-of-precision
// values from GSA, the altitude, and the distance unit of the sky plot. Main thread only.
class SatelliteStore {
public:
    static constexpr std::uint32_t kSlots = 12;

    // Outlets, set by the window description before start; not owned.
    void setSatelliteDrawer(platform::Drawer* drawer) { m_satelliteDrawer = drawer; }
    void setSatelliteView(SkyPlotView* view) { m_satelliteView = view; }

    // Creates the twelve empty slots, zeroes the DOP values (which redraws) and opens the
    // drawer.
    void start();

    // Empties every slot; no redraw.
    void clear();
    // The record in a slot, or nullptr at and past size() (and before start). Owned
    // by the store; valid until the next setSatellitesInView or start.
    Satellite* satellite(std::uint32_t index);
    const Satellite* satellite(std::uint32_t index) const;
    // Number of slots: twelve after start, more while more satellites are in view.
    std::uint32_t size() const { return static_cast<std::uint32_t>(m_satelliteArray.size()); }
    // Replaces the whole sky at once and redraws. Satellites are kept grouped by
    // constellation (in the enum's order), each group in the order given, from slot 0;
    // slots past the last satellite up to the twelfth stay empty. No upper limit.
    void setSatellitesInView(std::vector<SatelliteInView> satellites);
    // The satellites of the last setSatellitesInView with their signals, in slot order (entry
    // i fills slot i); empty after clear.
    const std::vector<SatelliteInView>& satellitesInView() const { return m_inView; }
    // Asks the sky plot to redraw.
    void update();
    // clear, altitude 0, DOP values 0 (redraws).
    void reset();
    // true: the sky plot shows metres, false: feet. Shows at the next redraw.
    void setMeters(bool meters) { m_meters = meters; }
    void setDop(float pdop, float hdop, float vdop);
    void setAltitude(float feet);

    float pDop() const { return m_pDop; }
    float hDop() const { return m_hDop; }
    float vDop() const { return m_vDop; }
    // Above mean sea level, feet.
    float altitude() const { return m_altitudeFeet; }
    bool meters() const { return m_meters; }
    // Estimated horizontal position error in feet: 24.5 feet per unit of HDOP.
    float epe() const;

    // reset, then closes the drawer.
    void close();
    // Window opacity 1.0 when true, 0.7 otherwise.
    void setTransparent(bool opaque);

private:
    platform::Drawer* m_satelliteDrawer = nullptr;
    SkyPlotView* m_satelliteView = nullptr;
    std::vector<std::shared_ptr<Satellite>> m_satelliteArray;
    std::vector<SatelliteInView> m_inView;  // as last shown, sorted
    float m_pDop = 0.0f;
    float m_hDop = 0.0f;
    float m_vDop = 0.0f;
    float m_altitudeFeet = 0.0f;
    bool m_meters = false;
};
