// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include "platform/View.h"

class SatelliteStore;

// The sky plot of the satellite drawer: satellites in view on a polar plot (north up, east
// right, horizon on the outer ring), their signal bars, and the HDOP, position-error and
// altitude captions. Keeps no data of its own; reads the store on every draw. The geometry
// follows the view's height H: the horizon ring is H - 36 points across; the view must be
// about H + 200 points wide for the twelve columns.
//
// One system with at most twelve slots draws one column per slot under the numbers. A sky of
// several systems (or more than twelve satellites) tags each marker with the system's RINEX
// letter, draws a legend of the systems with used/in-view counts under the captions, and
// packs narrower bars, grouped by system, into as many rows as they need; a crowded plot
// labels what it can without overlap and dots the rest. A receiver that lists each signal
// gets one thin bar per signal, grouped by satellite and coloured by band, with the signals'
// names as the key. Satellites used in the fix carry a black frame, those tracked on two or
// more bands a blue one around it.
class SkyPlotView : public platform::View {
public:
    // Not owned; nullptr draws the plot of an empty store.
    void setSatelliteStore(SatelliteStore* controller)
    {
        m_satelliteStore = controller;
    }
    SatelliteStore* satelliteStore() const { return m_satelliteStore; }

    bool isOpaque() const override { return false; }
    // Draws the whole plot; the rectangle does not limit the drawing.
    void drawRect(platform::Canvas& canvas, const platform::Rect& dirty) override;

private:
    SatelliteStore* m_satelliteStore = nullptr;
};
