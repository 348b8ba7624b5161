#include "app/GPSSettingsController.h"

#include <algorithm>
#include <limits>
#include <vector>
#include <variant>

#include "platform/Application.h"
#include "platform/ComboBox.h"
#include "platform/Drawer.h"
#include "platform/Services.h"
#include "core/Alert.h"
#include "core/Serial.h"
#include "core/Settings.h"

namespace {

const char* const kRates[] = {"4800", "9600", "19200", "38400"};
const char* const kUnits[] = {"Miles", "Kilometer", "Nautical Miles"};
constexpr int kMaxVisiblePorts = 4;

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

void GPSSettingsController::awakeFromNib()
{
    if (m_rateComboBox) {
        for (const char* rate : kRates) m_rateComboBox->addItemWithObjectValue(rate);
        m_rateComboBox->selectItemAtIndex(0);
    }
    if (m_portComboBox) {
        m_portComboBox->removeAllItems();
        Serial::listPorts(m_portComboBox);
        // The list is filled once per run, so the count the reader thread asks for is fixed
        // from here on.
        const int count = m_portComboBox->numberOfItems();
        m_deviceCount.store(count);
        m_portComboBox->setNumberOfVisibleItems(std::min(count, kMaxVisiblePorts));
    }
    if (m_unitsComboBox) {
        for (const char* units : kUnits) m_unitsComboBox->addItemWithObjectValue(units);
        m_unitsComboBox->selectItemAtIndex(0);
    }
    loadSettings();

    if (m_deviceCount.load() == 0) {
        platform::Application* application = platform::services().application;
        if (application) application->beep();
        Alert::showMessageWithKey("NSNoGPS");
        if (application) application->terminate();
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
    auto port = m_portComboBox->objectValueOfSelectedItem();
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
    const auto port = textOf(Settings::item("serialPort", SettingType::Text, wrongKeys));
    if (port && m_portComboBox && m_portComboBox->numberOfItems() > 0) {
        const int index = indexOfItem(*m_portComboBox, *port);
        if (index >= 0) m_portComboBox->selectItemAtIndex(index);
    }
    const auto rate = textOf(Settings::item("rate", SettingType::Text, wrongKeys));
    if (rate && canConnect() && m_rateComboBox) {
        const int index = indexOfItem(*m_rateComboBox, *rate);
        if (index >= 0) m_rateComboBox->selectItemAtIndex(index);
    }
    getGPSSettingsSelection();

    const auto units = indexOf(Settings::item("units", SettingType::Number, wrongKeys));
    if (units && m_unitsComboBox) m_unitsComboBox->selectItemAtIndex(*units);
    Settings::reportWrongKeys(wrongKeys);
}
