// SPDX-License-Identifier: BSD-2-Clause
#pragma once

// A main window assembled from fakes and the real instruments, the way the window
// description wires it, for the window controller's tests.

#include <chrono>
#include <cstdio>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/GPSController.h"
#include "app/MonitorController.h"
#include "instruments/SatelliteStore.h"
#include "app/GPSSettingsController.h"
#include "fakes/FakeControls.h"
#include "fakes/FakeServices.h"
#include "platform/Application.h"
#include "posix/PosixSleeper.h"
#include "base/ByteBuffer.h"
#include "nmea/NMEA.h"
#include "instruments/CompassView.h"
#include "instruments/DataLampView.h"

namespace controllertest {

// A verified sentence buffer as the reader hands it to a handler: the text, then NUL.
inline ByteBuffer sentence(const std::string& text)
{
    ByteBuffer buffer(text.begin(), text.end());
    buffer.push_back(0);
    return buffer;
}

// The same sentence as it arrives on the line: "*hh", CR LF.
inline std::string onTheWire(const std::string& body)
{
    std::uint8_t checksum = 0;
    for (std::size_t i = 1; i < body.size(); ++i) checksum ^= static_cast<std::uint8_t>(body[i]);
    char trailer[8];
    std::snprintf(trailer, sizeof trailer, "*%02X\r\n", checksum);
    return body + trailer;
}

struct MainWindow {
    fakes::FakeWindow window;
    fakes::FakeTextField utcLabel, latitudeLabel, longitudeLabel, cogLabel, sogLabel, fixLabel;
    fakes::FakeTextField utc, fix, latitude, longitude, cog, sog;
    fakes::FakeViewHost dataReadyHost, compassHost, skyHost;
    DataLampView dataReady;
    CompassView compass;
    fakes::FakeButton satellitesButton, settingsButton, monitorButton;
    fakes::FakeMenuItem connectMenuItem, quitMenuItem;

    fakes::FakeComboBox typeBox, rateBox, portBox, unitsBox;
    fakes::FakeDrawer settingsDrawer, monitorDrawer, satelliteDrawer;
    fakes::FakeTextView monitorText;
    fakes::FakeButton startButton, clearButton;

    GPSSettingsController settings;
    MonitorController monitor;
    SatelliteStore satellites;
    // Last, so it is destroyed (and its thread joined) before what it points at.
    std::unique_ptr<GPSController> controller = std::make_unique<GPSController>();

    MainWindow()
    {
        dataReady.setHost(&dataReadyHost);
        compass.setHost(&compassHost);
        window.setDelegate(controller.get());

        settings.setTypeComboBox(&typeBox);
        settings.setRateComboBox(&rateBox);
        settings.setPortComboBox(&portBox);
        settings.setUnitsComboBox(&unitsBox);
        settings.setSettingsDrawer(&settingsDrawer);
        monitor.setMonitorDrawer(&monitorDrawer);
        monitor.setMonitorTextView(&monitorText);
        monitor.setStartButton(&startButton);
        monitor.setClearButton(&clearButton);
        satellites.setSatelliteDrawer(&satelliteDrawer);

        GPSController& c = *controller;
        c.setGpsWindow(&window);
        c.setUtcLabelField(&utcLabel);
        c.setLatitudeLabelField(&latitudeLabel);
        c.setLongitudeLabelField(&longitudeLabel);
        c.setCogLabelField(&cogLabel);
        c.setSogLabelField(&sogLabel);
        c.setFixLabelField(&fixLabel);
        c.setUtcField(&utc);
        c.setFixField(&fix);
        c.setLatitudeField(&latitude);
        c.setLongitudeField(&longitude);
        c.setCogField(&cog);
        c.setSogField(&sog);
        c.setDataReadyView(&dataReady);
        c.setCompassView(&compass);
        c.setSatellitesButton(&satellitesButton);
        c.setSettingsButton(&settingsButton);
        c.setMonitorButton(&monitorButton);
        c.setGpsConnectMenuItem(&connectMenuItem);
        c.setGpsSettingsController(&settings);
        c.setSatelliteStore(&satellites);
        c.setMonitorController(&monitor);
    }
    ~MainWindow() { window.setDelegate(nullptr); }

    // The drawers' and store's wake-up, without the window controller's (no thread).
    void wakeDrawers()
    {
        settings.start();
        monitor.start();
        satellites.start();
    }

    // Runs a sentence text (without checksum) through the sentence table and its handler,
    // as the reader's update would.
    void handle(const std::string& text)
    {
        controller->handleVerifiedSentence(sentence(text));
    }

    // The monitor's text split into lines, each with the colour of its first run.
    std::vector<std::pair<std::string, platform::Color>> monitorLines() const
    {
        std::vector<std::pair<std::string, platform::Color>> lines;
        std::string current;
        std::optional<platform::Color> colour;
        for (const auto& run : monitorText.runs) {
            for (char ch : run.text) {
                if (!colour) colour = run.color;
                if (ch == '\n') {
                    lines.emplace_back(current, *colour);
                    current.clear();
                    colour.reset();
                } else {
                    current.push_back(ch);
                }
            }
        }
        return lines;
    }
};

}  // namespace controllertest
