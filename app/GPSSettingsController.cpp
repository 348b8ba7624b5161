// SPDX-License-Identifier: BSD-2-Clause
#include "app/GPSSettingsController.h"

#include <algorithm>
#include <iterator>
#include <limits>
#include <vector>
#include <variant>

#include "serial/RateHunt.h"
#include "platform/Application.h"
#include "platform/ComboBox.h"
#include "platform/Drawer.h"
#include "platform/Services.h"
#include "platform/Alert.h"
#include "serial/PortCatalog.h"
#include "serial/PortDiscovery.h"
#include "serial/Serial.h"
#include "platform/Settings.h"

namespace {

const char* const kUnits[] = {"Miles", "Kilometer", "Nautical Miles"};
constexpr int kMaxVisiblePorts = 4;
constexpr double kRescanSeconds = 1.0;

// Index of the first item equal to text, or -1.
int indexOfItem(const platform::ComboBox& box, const std::string& text)
{
    const int count = box.numberOfItems();
    for (int index = 0; index < count; ++index) {
        if (box.itemObjectValueAtIndex(index) == text) return index;
    }
    return -1;
}

std::optional<std::string> textOf(const std::optional<platform::PreferenceValue>& value)
{
    if (!value) return std::nullopt;
    if (const auto* text = std::get_if<std::string>(&*value)) return *text;
    return std::nullopt;
}

// A stored number as a list index; a value no int can hold is no index at all.
std::optional<int> indexOf(const std::optional<platform::PreferenceValue>& value)
{
    if (!value) return std::nullopt;
    double number = 0.0;
    if (const auto* whole = std::get_if<std::int64_t>(&*value)) {
        number = static_cast<double>(*whole);
    } else if (const auto* real = std::get_if<double>(&*value)) {
        number = *real;
    } else {
        return std::nullopt;
    }
    if (!(number >= std::numeric_limits<int>::min() && number <= std::numeric_limits<int>::max()))
        return std::nullopt;
    return static_cast<int>(number);
}

}  // namespace

void GPSSettingsController::start()
{
    if (m_rateComboBox) {
        for (const auto& rate : RateHunt::listRates()) m_rateComboBox->addItemWithObjectValue(rate);
        m_rateComboBox->addItemWithObjectValue(kAutomaticRate);
        m_rateComboBox->selectItemAtIndex(0);
    }
    fillPorts(PortCatalog::list());
    if (m_unitsComboBox) {
        for (const char* units : kUnits) m_unitsComboBox->addItemWithObjectValue(units);
        m_unitsComboBox->selectItemAtIndex(m_defaultUnits < std::size(kUnits) ? static_cast<int>(m_defaultUnits) : 0);
    }
    loadSettings();

    // Devices come and go; a second is quick enough for a hand that plugs one in, and the
    // scan reads a few sysfs entries.
    platform::Application* application = platform::services().application;
    if (application && !m_rescanTimer)
        m_rescanTimer = application->scheduledTimer(kRescanSeconds, [this] { rescanPorts(); });

    // Without any serial device there is nothing to connect to: the program ends unless the
    // user chooses to wait, and then the list fills when the receiver is plugged in.
    if (m_deviceCount.load() == 0 && !m_receiverElsewhere) {
        if (application) application->beep();
        if (Alert::showQuit("NoGPS") && application) application->terminate();
    }
}

GPSSettingsController::GPSSettingsController() = default;

GPSSettingsController::~GPSSettingsController()
{
    if (m_rescanTimer) m_rescanTimer->invalidate();
}

void GPSSettingsController::fillPorts(std::vector<PortCatalog::Port> ports)
{
    m_ports = std::move(ports);
    if (m_portComboBox) {
        m_portComboBox->removeAllItems();
        for (const auto& port : m_ports) m_portComboBox->addItemWithObjectValue(port.label);
        m_portComboBox->setNumberOfVisibleItems(
            std::min(static_cast<int>(m_ports.size()), kMaxVisiblePorts));
    }
    m_deviceCount.store(m_portComboBox ? m_portComboBox->numberOfItems() : 0);
}

int GPSSettingsController::preferredPortIndex() const
{
    if (m_storedPort) return PortCatalog::find(m_ports, *m_storedPort);
    for (std::size_t i = 0; i < m_ports.size(); ++i)
        if (m_ports[i].knownReceiver) return static_cast<int>(i);
    return -1;
}

void GPSSettingsController::rescanPorts()
{
    // Nothing came or went since the last look: the listing would be the same.
    auto stamp = PortDiscovery::devicesStamp();
    if (stamp && stamp == m_devicesStamp) return;
    m_devicesStamp = std::move(stamp);
    auto ports = PortCatalog::list();
    if (ports == m_ports) return;
    std::optional<std::string> shown;
    if (m_portComboBox) {
        const int index = m_portComboBox->indexOfSelectedItem();
        if (index >= 0 && index < static_cast<int>(m_ports.size()))
            shown = m_ports[static_cast<std::size_t>(index)].path;
    }
    fillPorts(std::move(ports));
    if (!m_portComboBox) return;
    // The chosen port keeps its place while it is there, and gets it back when it returns.
    const auto captured = port();
    int index = -1;
    if (shown) index = PortCatalog::find(m_ports, *shown);
    if (index < 0 && captured) index = PortCatalog::find(m_ports, *captured);
    if (index >= 0) {
        m_portComboBox->selectItemAtIndex(index);
        return;
    }
    if (captured) return;
    index = preferredPortIndex();
    if (index >= 0) {
        m_portComboBox->selectItemAtIndex(index);
        getGPSSettingsSelection();
    }
}

void GPSSettingsController::open()
{
    if (m_settingsDrawer) m_settingsDrawer->open();
}

void GPSSettingsController::close()
{
    if (m_settingsDrawer) m_settingsDrawer->close();
}

bool GPSSettingsController::getGPSSettingsSelection()
{
    if (!canConnect() || !m_portComboBox || !m_rateComboBox) return false;
    if (m_portComboBox->indexOfSelectedItem() < 0) return false;
    if (m_rateComboBox->indexOfSelectedItem() < 0) return false;
    const int index = m_portComboBox->indexOfSelectedItem();
    // The list shows labels; the path behind the selected one is what is used and stored.
    std::optional<std::string> port = index < static_cast<int>(m_ports.size())
                                          ? std::optional(m_ports[static_cast<std::size_t>(index)].path)
                                          : m_portComboBox->objectValueOfSelectedItem();
    auto rate = m_rateComboBox->objectValueOfSelectedItem();
    if (!port || !rate) return false;

    std::lock_guard lock(m_mutex);
    m_portString = std::move(port);
    m_rateString = std::move(rate);
    return true;
}

std::optional<std::string> GPSSettingsController::port() const
{
    std::lock_guard lock(m_mutex);
    return m_portString;
}

std::optional<std::string> GPSSettingsController::rate() const
{
    std::lock_guard lock(m_mutex);
    return m_rateString;
}

std::optional<std::string> GPSSettingsController::storedRate() const
{
    std::lock_guard lock(m_mutex);
    return m_storedRate;
}

void GPSSettingsController::rateFound(const std::string& rate)
{
    if (m_rateComboBox) {
        const int index = indexOfItem(*m_rateComboBox, rate);
        if (index >= 0) m_rateComboBox->selectItemAtIndex(index);
    }
    {
        std::lock_guard lock(m_mutex);
        m_rateString = rate;
        m_storedRate = rate;
    }
    // Stored at once: the next start connects at this rate without hunting.
    Settings::setItem("rate", platform::PreferenceValue(rate));
    Settings::save();
}

std::uint32_t GPSSettingsController::units() const
{
    if (!m_unitsComboBox) return 0;
    return static_cast<std::uint32_t>(m_unitsComboBox->indexOfSelectedItem());
}

bool GPSSettingsController::canConnect() const
{
    return m_deviceCount.load() > 0;
}

void GPSSettingsController::saveSettings()
{
    const auto port = this->port();
    const auto rate = this->rate();
    Settings::setItem("serialPort",
                      port ? std::optional<platform::PreferenceValue>(*port) : std::nullopt);
    Settings::setItem("rate",
                      rate ? std::optional<platform::PreferenceValue>(*rate) : std::nullopt);
    Settings::setItem("units", platform::PreferenceValue(static_cast<std::int64_t>(units())));
}

void GPSSettingsController::loadSettings()
{
    // Every wrong key is told about in one panel, not one panel each.
    std::vector<std::string> wrongKeys;
    m_storedPort = textOf(Settings::item("serialPort", SettingType::Text, wrongKeys));
    if (m_portComboBox && m_portComboBox->numberOfItems() > 0) {
        const int index = preferredPortIndex();
        if (index >= 0) m_portComboBox->selectItemAtIndex(index);
    }
    const auto rate = textOf(Settings::item("rate", SettingType::Text, wrongKeys));
    if (rate && Serial::isKnownRate(*rate)) {
        std::lock_guard lock(m_mutex);
        m_storedRate = rate;
    }
    if (rate && canConnect() && m_rateComboBox) {
        const int index = indexOfItem(*m_rateComboBox, *rate);
        if (index >= 0) m_rateComboBox->selectItemAtIndex(index);
    }
    getGPSSettingsSelection();

    const auto units = indexOf(Settings::item("units", SettingType::Number, wrongKeys));
    if (units && m_unitsComboBox) m_unitsComboBox->selectItemAtIndex(*units);
    Settings::reportWrongKeys(wrongKeys);
}
