// SPDX-License-Identifier: BSD-2-Clause
#include "app/AppController.h"

#include <cstdio>
#include <string>

#include "app/GPSController.h"
#include "app/GPSSettingsController.h"
#include "platform/Services.h"
#include "platform/Alert.h"
#include "platform/Settings.h"

AppController::~AppController()
{
    // The application outlives the window description's objects; leave it no dangling
    // delegate.
    if (m_isDelegate)
        if (platform::Application* application = platform::services().application)
            application->setDelegate(nullptr);
}

void AppController::start()
{
    platform::Application* application = platform::services().application;
    if (!application) return;
    application->setDelegate(this);
    m_isDelegate = true;
}

void AppController::saveSettings()
{
    if (m_gpsSettingsController) m_gpsSettingsController->saveSettings();
    if (m_saveWindowState) m_saveWindowState();
    std::string failure;
    if (Settings::save(&failure)) return;
    // Said where it cannot hold up the end of the program: a panel now would.
    const std::string text = Alert::localizedStringWithKey("SettingsNotSaved", {failure});
    std::fprintf(stderr, "gpsdesk: %s\n", text.c_str());
    if (m_gpsController) m_gpsController->updateMonitor(text);
}

bool AppController::isMenuItemEnabled(platform::MenuItem* item)
{
    (void)item;
    return true;
}

void AppController::applicationWillTerminate()
{
    if (m_terminated) return;
    m_terminated = true;
    saveSettings();
}
