// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <functional>

#include "platform/Application.h"

namespace platform {
class MenuItem;
}
class GPSController;
class GPSSettingsController;

// The application's delegate: writes the user's settings once when the application ends,
// whatever ends it, and enables every menu item it is asked about. Main thread only.
class AppController : public platform::ApplicationDelegate {
public:
    AppController() = default;
    AppController(const AppController&) = delete;
    AppController& operator=(const AppController&) = delete;
    ~AppController() override;

    // Outlets, set by the window description before start; not owned.
    void setGpsController(GPSController* controller) { m_gpsController = controller; }
    void setGpsSettingsController(GPSSettingsController* controller)
    {
        m_gpsSettingsController = controller;
    }
    // Stores what the window itself keeps (its place, its open panes); run by saveSettings
    // before the flush.
    void setSaveWindowState(std::function<void()> save) { m_saveWindowState = std::move(save); }

    // Becomes the application's delegate.
    void start();
    // The window controller's settings, the settings drawer's port, rate and units, the
    // window's state, then a flush of the preferences store. A failed flush is told on
    // standard error and in the monitor.
    void saveSettings();
    bool isMenuItemEnabled(platform::MenuItem* item);
    // Saves the settings; only the first call of a run does, so that an end reached by two
    // ways at once (a signal during Quit) writes once.
    void applicationWillTerminate() override;

private:
    GPSController* m_gpsController = nullptr;
    GPSSettingsController* m_gpsSettingsController = nullptr;
    std::function<void()> m_saveWindowState;
    bool m_isDelegate = false;
    bool m_terminated = false;
};
