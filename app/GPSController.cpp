// SPDX-License-Identifier: BSD-2-Clause
#include "app/GPSController.h"

#include <utility>
#include <variant>

#include "app/GPSSettingsController.h"
#include "app/MonitorController.h"
#include "app/ReceiverTestController.h"
#include "platform/Alert.h"
#include "instruments/DataLampView.h"
#include "instruments/SatelliteStore.h"
#include "platform/Settings.h"
#include "platform/Alerts.h"
#include "platform/Application.h"
#include "platform/MenuItem.h"
#include "platform/Services.h"
#include "sources/SourceUrl.h"

namespace {

constexpr double kPositionTimerSeconds = 15.0;
constexpr double kFreshnessTimerSeconds = 1.0;
constexpr double kStalePositionSeconds = 90.0;
constexpr const char* kSourceUrlKey = "SourceURL";

double now()
{
    const platform::Clock* clock = platform::services().clock;
    return clock ? clock->now() : 0.0;
}

}  // namespace

GPSController::GPSController() = default;

GPSController::~GPSController()
{
    shutdown();
}

void GPSController::setGpsSettingsController(GPSSettingsController* c)
{
    m_gpsSettingsController = c;
    m_readouts.setGpsSettingsController(c);
    // Called on the reader thread: the settings hand out copies under their own lock.
    m_reader.setChoice([c]() -> ReceiverReader::Choice {
        if (!c) return {};
        return {.port = c->port(), .rate = c->rate(), .storedRate = c->storedRate(), .canConnect = c->canConnect()};
    });
}

void GPSController::setSatelliteStore(SatelliteStore* c)
{
    m_readouts.setSatelliteStore(c);
    m_presenter.setSatelliteStore(c);
}

void GPSController::setMonitorController(MonitorController* c)
{
    m_monitorController = c;
    m_presenter.setMonitorController(c);
}

void GPSController::setReceiverTestController(ReceiverTestController* c)
{
    m_receiverTestController = c;
    m_presenter.setReceiverTestController(c);
}

void GPSController::start()
{
    if (m_gpsWindow) m_gpsWindow->center();
    m_readouts.start();
    if (chooseSource()) m_reader.start();
    if (platform::Application* application = platform::services().application) {
        m_positionTimer = application->scheduledTimer(kPositionTimerSeconds, [this] { positionTimer(); });
        m_freshnessTimer =
            application->scheduledTimer(kFreshnessTimerSeconds, [this] { m_readouts.freshnessTimer(); });
    }
}

bool GPSController::chooseSource()
{
    std::string text = m_sourceText;
    if (text.empty() && platform::services().preferences) {
        const auto stored = Settings::item(kSourceUrlKey, SettingType::Text);
        if (const auto* value = stored ? std::get_if<std::string>(&*stored) : nullptr) text = *value;
    }
    if (text.empty()) return true;  // the serial port chosen in the settings
    SourceMessage whyNot;
    const std::optional<SourceUrl> url = SourceUrl::parse(text, whyNot);
    if (!url) {
        showSheet("sourceUnusable", whyNot.text(), {});
        return false;
    }
    if (url->kind != SourceUrl::Kind::Tcp && url->kind != SourceUrl::Kind::Gpsd) {
        // A serial path belongs in the settings drawer; an NTRIP caster sends corrections.
        showSheet("sourceUnusable", Alert::localizedStringWithKey("sourceKindUnsupported", {url->toString()}), {});
        return false;
    }
    m_reader.setSource(*url);
    if (m_gpsSettingsController) m_gpsSettingsController->setReceiverElsewhere(true);
    return true;
}

void GPSController::shutdown()
{
    *m_alive = false;
    m_reader.shutdown();
    m_positionTimer.reset();
    m_freshnessTimer.reset();
}

// ---- Commands ------------------------------------------------------------------------

void GPSController::onGPSConnect()
{
    if (m_reader.readsSource()) {
        if (!hasConnection()) m_reader.requestConnect();
        return;
    }
    if (!m_gpsSettingsController) return;
    if (!m_gpsSettingsController->port() || !m_gpsSettingsController->rate()) {
        if (m_gpsWindow) m_gpsWindow->show();
        m_gpsSettingsController->open();
        if (m_gpsWindow) m_gpsWindow->show();
        return;
    }
    if (!hasConnection()) m_reader.requestConnect();
    if (m_gpsWindow) m_gpsWindow->show();
}

void GPSController::onGPSSettingsChange()
{
    // A network source does not follow the serial choice.
    if (m_reader.readsSource()) return;
    if (m_gpsSettingsController && m_gpsSettingsController->getGPSSettingsSelection()) m_reader.requestConnect();
}

void GPSController::closeConnection()
{
    if (hasConnection()) m_reader.requestDisconnect();
}

void GPSController::releaseSerial()
{
    closeConnection();
    if (m_gpsWindow) m_gpsWindow->close();
}

bool GPSController::isMenuItemEnabled(platform::MenuItem* item)
{
    if (item && item == m_gpsConnectMenuItem)
        return m_reader.readsSource() || (m_gpsSettingsController && m_gpsSettingsController->canConnect());
    return true;
}

void GPSController::windowWillClose()
{
    closeConnection();
    if (platform::Application* application = platform::services().application) application->terminate();
}

platform::Size GPSController::windowWillResize(const platform::Size& proposed)
{
    if (!m_gpsWindow) return proposed;
    const platform::Size minimum = m_gpsWindow->minSize();
    if (!(minimum.width > 0.0f && minimum.height > 0.0f)) return proposed;
    const float ratio = minimum.width / minimum.height;
    return {proposed.width, proposed.width / ratio};
}

// ---- Reader events, sheets and the monitor --------------------------------------------

void GPSController::connectionOpened()
{
    if (m_receiverTestController) m_receiverTestController->connected(now());
}

void GPSController::connectionClosed()
{
    if (m_receiverTestController) m_receiverTestController->disconnected(now());
    m_readouts.connectionClosed();
    m_presenter.reset();
}

void GPSController::rateFound(const std::string& rate)
{
    if (m_gpsSettingsController) m_gpsSettingsController->rateFound(rate);
}

void GPSController::wrongRate()
{
    m_readouts.lamp(DataLampView::kUnhandled);
    updateMonitor(Alert::localizedStringWithKey("DoctorWrongRate"));
}

void GPSController::updatesDropped(std::uint64_t total)
{
    updateMonitor("#### " + Alert::localizedStringWithKey("UpdatesDropped") + " " + std::to_string(total));
}

void GPSController::positionTimer()
{
    m_presenter.expireSatellites(now());
    if (!hasConnection()) return;
    if (m_readouts.positionAge() <= kStalePositionSeconds) return;

    m_readouts.resetPositionDate();
    m_readouts.lamp(DataLampView::kNoData);
    if (platform::Application* application = platform::services().application) application->beep();
    // One warning on screen is enough: while it waits for the user, later ones only beep.
    if (m_stalenessSheetShown) return;
    m_stalenessSheetShown = true;
    showSheet("NoGPSPositionData", std::nullopt, [this, alive = m_alive] {
        if (*alive) m_stalenessSheetShown = false;
    });
}

void GPSController::showSheet(const std::string& messageKey, const std::optional<std::string>& informative,
                              std::function<void()> didEnd)
{
    platform::Alerts* alerts = platform::services().alerts;
    if (!alerts) return;
    alerts->beginSheet(m_gpsWindow, Alert::localizedStringWithKey(messageKey), informative,
                       Alert::localizedStringWithKey("OK"), std::move(didEnd));
}

void GPSController::openPortFail(const std::string& port, const std::string& explanation)
{
    showSheet(m_reader.readsSource() ? "sourceOpenFailed" : "UnableToOpenPort",
              explanation.empty() ? port : explanation, {});
}

void GPSController::connectionLost(const std::string& port)
{
    showSheet("ConnectionLost", port, {});
    updateMonitor(Alert::localizedStringWithKey("DoctorWaitingForDevice", {port}));
}

void GPSController::updateMonitor(const std::string& text)
{
    if (!m_monitorController || text.empty()) return;
    m_monitorController->append(text, false);
    m_monitorController->append("\n", false);
}
