// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include "platform/Canvas.h"
#include "platform/Geometry.h"

namespace platform {

// What hosts a drawn view on screen: takes redraw requests (coalesced, served later on the
// main thread) and knows the view's bounds.
class ViewHost {
public:
    virtual ~ViewHost() = default;
    virtual void setNeedsDisplay() = 0;
    virtual Rect bounds() const = 0;
    // Opacity of the window that holds the view, 0.0 to 1.0.
    virtual void setWindowAlphaValue(float alpha) { (void)alpha; }
};

// A drawn view: draws itself through a canvas. The host is set by the window description
// (or a test) and is not owned.
class View {
public:
    virtual ~View() = default;

    virtual void drawRect(Canvas& canvas, const Rect& dirty) = 0;
    virtual bool isOpaque() const { return false; }

    void setHost(ViewHost* host) { m_host = host; }
    ViewHost* host() const { return m_host; }
    void setNeedsDisplay()
    {
        if (m_host) m_host->setNeedsDisplay();
    }
    Rect bounds() const { return m_host ? m_host->bounds() : Rect{}; }
    void setWindowAlphaValue(float alpha)
    {
        if (m_host) m_host->setWindowAlphaValue(alpha);
    }

private:
    ViewHost* m_host = nullptr;
};

}  // namespace platform
