// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "serial/RateHunt.h"
#include "serial/PortCatalog.h"

namespace platform {
class ComboBox;
class Drawer;
class Timer;
}  // namespace platform

// The settings drawer: receiver type, rate, port and units lists, the port and rate the
// connection uses, and the three preferences "serialPort", "rate" and "units".
//
// Main thread, except port(), rate() and canConnect(), which the reader thread also calls:
// they answer from copies kept under a lock (port, rate) or cached when the port list was
// filled (device count), never from a control. The controls are not owned.
class GPSSettingsController {
public:
    // The rate list's item that has the reader find the rate by itself.
    static constexpr const char* kAutomaticRate = RateHunt::kAutomaticRate;

    GPSSettingsController();
    ~GPSSettingsController();
    GPSSettingsController(const GPSSettingsController&) = delete;
    GPSSettingsController& operator=(const GPSSettingsController&) = delete;

    void setTypeComboBox(platform::ComboBox* box) { m_typeComboBox = box; }
    void setRateComboBox(platform::ComboBox* box) { m_rateComboBox = box; }
    void setPortComboBox(platform::ComboBox* box) { m_portComboBox = box; }
    void setUnitsComboBox(platform::ComboBox* box) { m_unitsComboBox = box; }
    // The units shown until the user chooses (0 miles, 1 kilometres): kilometres where the
    // desktop's locale measures in metres. Set before start.
    void setDefaultUnits(std::uint32_t units) { m_defaultUnits = units; }
    void setSettingsDrawer(platform::Drawer* drawer) { m_settingsDrawer = drawer; }

    // Fills the lists, restores the preferences and captures them, and starts following the
    // devices as they come and go. Without any serial device: beep and the "NoGPS" panel,
    // whose default answer ends the program; "Wait for a receiver" lets it run on. The port
    // list shows what each port is; the port captured and stored is its stable path
    // (/dev/serial/by-id/...) where it has one.
    void start();
    // Lists the ports anew when they changed, keeping the selection; with nothing chosen yet,
    // selects and captures the stored port or a known receiver that appeared. Run every
    // second by a timer from start(). Main thread.
    void rescanPorts();
    void open();
    void close();

    // Takes the selected port and rate as the ones to use. false (and the previous choice
    // kept) when there is no device, or no port or no rate selected.
    bool getGPSSettingsSelection();
    // The captured port path and rate text; nothing before the first capture. Any thread.
    std::optional<std::string> port() const;
    std::optional<std::string> rate() const;
    // The last real rate stored or found, tried first by the automatic rate. Any thread.
    std::optional<std::string> storedRate() const;
    // The automatic rate settled on rate: shown, captured and stored. Main thread.
    void rateFound(const std::string& rate);
    // Index of the selected units item (0 miles, 1 kilometres, 2 nautical miles), read from
    // the list at every call. Main thread.
    std::uint32_t units() const;
    // true when at least one serial device is listed. Any thread.
    bool canConnect() const;
    // The receiver is read over the network: start() does not ask to end the program when
    // there is no serial device. Before start().
    void setReceiverElsewhere(bool elsewhere) { m_receiverElsewhere = elsewhere; }

    // Writes the captured port and rate and the units index; the caller flushes the store.
    void saveSettings();
    void loadSettings();

private:
    [[maybe_unused]] platform::ComboBox* m_typeComboBox = nullptr;  // never read
    platform::ComboBox* m_rateComboBox = nullptr;
    platform::ComboBox* m_portComboBox = nullptr;
    platform::ComboBox* m_unitsComboBox = nullptr;
    std::uint32_t m_defaultUnits = 0;
    platform::Drawer* m_settingsDrawer = nullptr;

    void fillPorts(std::vector<PortCatalog::Port> ports);
    // The port the preferences name, or else the first known receiver; -1 when neither is listed.
    int preferredPortIndex() const;

    // Main thread: the listed ports, item for item, the stored choice, the rescan timer.
    std::vector<PortCatalog::Port> m_ports;
    std::optional<std::string> m_devicesStamp;  // the devices when the ports were last listed
    std::optional<std::string> m_storedPort;
    std::unique_ptr<platform::Timer> m_rescanTimer;

    mutable std::mutex m_mutex;
    std::optional<std::string> m_portString;  // guarded by m_mutex
    std::optional<std::string> m_rateString;  // guarded by m_mutex
    std::optional<std::string> m_storedRate;  // guarded by m_mutex
    bool m_receiverElsewhere = false;
    std::atomic<int> m_deviceCount{0};
};
