#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/Satellite.h"

namespace platform {
class Drawer;
}
class SkyPlotView;

// The satellite drawer's store: twelve satellite-in-view slots filled from GSV sentences,
// the dilution-of-precision values from GSA, the altitude, and the distance unit of the
// sky plot. Main thread only.
class SatelliteStore {
public:
    static constexpr std::uint32_t kSlots = 12;

    // Outlets, set by the window description before awakeFromNib; not owned.
    void setSatelliteDrawer(platform::Drawer* drawer) { m_satelliteDrawer = drawer; }
    void setSatelliteView(SkyPlotView* view) { m_satelliteView = view; }

    // Creates the twelve empty slots, zeroes the DOP values (which redraws) and opens the
    // drawer.
    void awakeFromNib();

    // Empties every slot; no redraw.
    void clear();
    // The record in a slot, or nullptr outside 0..11 (and before awakeFromNib). Owned by
    // the store.
    Satellite* satellite(std::uint32_t index);
    const Satellite* satellite(std::uint32_t index) const;
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
    static float epeForHdop(float hdop) { return 24.5f * hdop; }

    // reset, then closes the drawer.
    void close();
    // Window opacity 1.0 when true, 0.7 otherwise.
    void setTransparent(bool opaque);

private:
    platform::Drawer* m_satelliteDrawer = nullptr;
    SkyPlotView* m_satelliteView = nullptr;
    std::vector<std::shared_ptr<Satellite>> m_satelliteArray;
    float m_pDop = 0.0f;
    float m_hDop = 0.0f;
    float m_vDop = 0.0f;
    float m_altitudeFeet = 0.0f;
    bool m_meters = false;
};
