// SPDX-License-Identifier: BSD-2-Clause
#include "qt/MainWindow.h"

#include <QApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QVBoxLayout>

#include "app/AppController.h"
#include "app/CorrectionsController.h"
#include "app/GPSController.h"
#include "app/GPSSettingsController.h"
#include "app/MonitorController.h"
#include "app/ReceiverTestController.h"
#include "app/SplashController.h"
#include "instruments/CompassView.h"
#include "instruments/DataLampView.h"
#include "instruments/SatelliteStore.h"
#include "instruments/SkyPlotView.h"
#include "platform/Alert.h"
#include "qt/MessageText.h"
#include "platform/Alerts.h"
#include "platform/Preferences.h"
#include "platform/Services.h"
#include "qt/CorrectionsPane.h"
#include "qt/PaneSet.h"
#include "qt/PortSettingsPane.h"
#include "qt/QtApplication.h"
#include "qt/QtSecretStore.h"
#include "qt/ReadoutPanel.h"
#include "qt/ReceiverConfigPane.h"
#include "qt/ReceiverHealthPane.h"
#include "qt/ReceiverTestPane.h"
#include "qt/SourceSettingsPane.h"
#include "qt/WindowPlacement.h"

namespace qtplatform {

namespace {

// Sizes in points (logical pixels). The sky plot's geometry follows its height; this width holds twelve signal columns and
// the three captions above them.
constexpr int kSkyPlotHeight = 236;
constexpr int kSkyPlotWidth = 460;
// How far below its first size the window's content may be made smaller.
constexpr double kSmallestContentShare = 0.65;


}  // namespace

MainWindow::MainWindow(QtApplication& application) : m_application(application)
{
    buildMenu();
    buildWindow();
    // In the order of their View menu items.
    buildSatelliteDrawer();
    buildSettingsDrawer();
    buildMonitorDrawer();
    buildSplashDrawer();
    buildReceiverTestPane();
    buildReceiverHealthPane();
    buildCorrectionsPane();
    connectControllers();
}

MainWindow::~MainWindow()
{
    // The controllers and views go before the widgets that refer to them: stop the reader
    // thread first, then take every reference to them out of the widgets.
    if (m_gpsController) m_gpsController->shutdown();
    m_window.setDelegate(nullptr);
    m_paneSet.forgetDelegates();
    m_compassHost->setView(nullptr);
    m_dataReadyHost->setView(nullptr);
    m_satelliteHost->setView(nullptr);
    // The pane lets go of its controller as it goes, so it goes while the controller lives.
    delete m_receiverTestPane;
}

void MainWindow::buildWindow()
{
    QMainWindow* widget = m_window.widget();
    widget->setWindowTitle(text("CFBundleName"));
    // Top and bottom panes run the window's full width; side panes stand between them.
    widget->setCorner(Qt::TopLeftCorner, Qt::TopDockWidgetArea);
    widget->setCorner(Qt::TopRightCorner, Qt::TopDockWidgetArea);
    widget->setCorner(Qt::BottomLeftCorner, Qt::BottomDockWidgetArea);
    widget->setCorner(Qt::BottomRightCorner, Qt::BottomDockWidgetArea);

    auto* central = new ReadoutPanel(widget);
    m_readoutPanel = central;
    m_captions = central->captions();
    m_readouts = central->readouts();
    m_compassHost = central->compassHost();
    m_dataReadyHost = central->dataReadyHost();
    m_satellitesButton = central->satellitesButton();
    m_settingsButton = central->settingsButton();
    m_monitorButton = central->monitorButton();
    widget->setCentralWidget(central);
}

void MainWindow::buildMenu()
{
    QMainWindow* widget = m_window.widget();
    QMenuBar* bar = widget->menuBar();

    m_fileMenu = bar->addMenu(text("menu.file"));
    // Provided by other parts of the program; disabled until they register.
    for (const auto& [name, key] : {std::pair{"record", "menu.record"},
                                    std::pair{"replay", "menu.replay"},
                                    std::pair{"exportGpx", "menu.exportGpx"}}) {
        QtMenuItem* item = m_menus.add(m_fileMenu, name, key);
        item->setValidator([](platform::MenuItem*) { return false; });
        item->setToolTip(text("tooltip.unavailable"));
        item->validate();
    }
    m_fileMenu->addSeparator();
    m_quitItem = m_menus.add(m_fileMenu, "quit", "menu.quit", QKeySequence(Qt::CTRL | Qt::Key_Q));
    m_quitItem->setMenuRole(QAction::QuitRole);
    m_quitItem->setAction([this] { m_application.terminate(); });

    QMenu* receiver = bar->addMenu(text("menu.receiver"));
    m_connectItem = m_menus.add(receiver, "connect", "menu.connect", QKeySequence(Qt::CTRL | Qt::Key_K));
    m_disconnectItem = m_menus.add(receiver, "disconnect", "menu.disconnect");
    // Opened to change something, then closed: a window of its own rather than a pane.
    m_receiverConfigPane = new ReceiverConfigPane({}, widget);
    m_receiverConfigPane->setWindowFlag(Qt::Window);
    m_receiverConfigPane->setWindowTitle(text("ConfigTitle"));
    m_menus.add(receiver, "configure", "menu.configure")->setAction([this] {
        m_receiverConfigPane->show();
        m_receiverConfigPane->raise();
        m_receiverConfigPane->activateWindow();
    });

    m_viewMenu = bar->addMenu(text("menu.view"));
    m_paneSet.setViewMenu(m_viewMenu);

    QMenu* help = bar->addMenu(text("menu.help"));
    QtMenuItem* helpItem = m_menus.add(help, "help", "menu.helpPage", QKeySequence(Qt::Key_F1));
    helpItem->setAction([this] { m_splashController->onLearnMore(); });
    QtMenuItem* about = m_menus.add(help, "about", "menu.about");
    about->setMenuRole(QAction::AboutRole);
    about->setAction([this] { showAbout(); });

    for (QMenu* menu : {m_fileMenu, receiver, m_viewMenu, help}) m_menus.validateOnShow(menu);
}

QtDrawer& MainWindow::addPane(const NewPane& wanted)
{
    return m_paneSet.add(wanted);
}

void MainWindow::registerCommand(const std::string& name, std::function<void()> action,
                                 std::function<bool()> isEnabled)
{
    m_menus.registerCommand(name, std::move(action), std::move(isEnabled));
}

QtMenuItem* MainWindow::menuItem(const std::string& name) const
{
    return m_menus.item(name);
}

void MainWindow::showAbout()
{
    platform::Alerts* alerts = platform::services().alerts;
    if (!alerts) return;
    const std::string message = Alert::localizedStringWithKey("CFBundleName") + " " + GPSDESK_VERSION;
    alerts->beginSheet(&m_window, message, Alert::localizedStringWithKey("about.text"),
                       Alert::localizedStringWithKey("OK"), {});
}

void MainWindow::buildSettingsDrawer()
{
    m_settingsDrawer = &addPane({"settings", "pane.settings", "menu.settings", QtDrawer::Edge::Top,
                                 QKeySequence(Qt::CTRL | Qt::Key_2), m_settingsButton});
    // Its content fills the pane: the pane's title and edge are the drawer's.
    auto* layout = new QVBoxLayout(m_settingsDrawer->contentView());
    layout->setContentsMargins(0, 0, 0, 0);
    auto* choices = new PortSettingsPane(m_settingsDrawer->contentView());
    layout->addWidget(choices);
    m_typeComboBox = choices->typeBox();
    m_rateComboBox = choices->rateBox();
    m_portComboBox = choices->portBox();
    m_unitsComboBox = choices->unitsBox();
}

void MainWindow::buildMonitorDrawer()
{
    m_monitorDrawer = &addPane({"monitor", "pane.monitor", "menu.monitor", QtDrawer::Edge::Bottom,
                                QKeySequence(Qt::CTRL | Qt::Key_3), m_monitorButton});
    QWidget* content = m_monitorDrawer->contentView();
    auto* layout = new QHBoxLayout(content);
    layout->setContentsMargins(0, 8, 0, 0);
    m_monitorTextView = new QtTextView(content);
    m_monitorTextView->setMinimumHeight(150);
    layout->addWidget(m_monitorTextView, 1);
    auto* buttons = new QVBoxLayout();
    m_startButton = new QtButton(text("Start"), content);
    m_clearButton = new QtButton(text("button.clear"), content);
    buttons->addWidget(m_startButton);
    buttons->addWidget(m_clearButton);
    // Aligned, not stretched: nothing in the pane asks for the height a larger window brings.
    layout->addLayout(buttons);
    layout->setAlignment(buttons, Qt::AlignTop);
}

void MainWindow::buildSatelliteDrawer()
{
    m_satelliteDrawer = &addPane({"satellites", "pane.satellites", "menu.satellites", QtDrawer::Edge::Right,
                                  QKeySequence(Qt::CTRL | Qt::Key_1), m_satellitesButton});
    QWidget* content = m_satelliteDrawer->contentView();
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 6, 0, 0);
    m_satelliteHost = new QtViewWidget(content);
    m_satelliteHost->setFixedSize(kSkyPlotWidth, kSkyPlotHeight);
    layout->addWidget(m_satelliteHost);
    layout->addStretch(1);
}

void MainWindow::buildReceiverTestPane()
{
    m_receiverTestController = std::make_unique<ReceiverTestController>();
    m_receiverTestDrawer = &addPane({"receiverTest", "pane.receiverTest", "menu.receiverTest",
                                     QtDrawer::Edge::Bottom, QKeySequence(Qt::CTRL | Qt::Key_4), nullptr});
    QWidget* content = m_receiverTestDrawer->contentView();
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    m_receiverTestPane = new ReceiverTestPane(*m_receiverTestController, content);
    layout->addWidget(m_receiverTestPane);
}

void MainWindow::buildReceiverHealthPane()
{
    QtDrawer& pane = addPane({"receiverHealth", "pane.receiverHealth", "menu.receiverHealth",
                              QtDrawer::Edge::Right, QKeySequence(Qt::CTRL | Qt::Key_5), nullptr});
    auto* layout = new QVBoxLayout(pane.contentView());
    layout->setContentsMargins(0, 0, 0, 0);
    // The window controller comes later; until it does there is nothing to show.
    layout->addWidget(new ReceiverHealthPane([this] {
        return m_gpsController ? m_gpsController->receiverState().health() : ReceiverHealth{};
    }, pane.contentView()));
}

void MainWindow::buildCorrectionsPane()
{
    m_secretStore = std::make_unique<QtSecretStore>();
    m_correctionsController = std::make_unique<CorrectionsController>(m_secretStore.get());
    QtDrawer& pane = addPane({"corrections", "pane.corrections", "menu.corrections", QtDrawer::Edge::Right,
                              QKeySequence(Qt::CTRL | Qt::Key_6), nullptr});
    auto* layout = new QVBoxLayout(pane.contentView());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new CorrectionsPane(*m_correctionsController, [this]() -> const ReceiverState* {
        return m_gpsController ? &m_gpsController->receiverState() : nullptr;
    }, pane.contentView()));
    if (platform::Preferences* preferences = platform::services().preferences) {
        layout->addWidget(new SourceSettingsPane(*m_correctionsController, *preferences, [preferences]() {
            const auto value = preferences->objectForKey("serialPort");
            const auto* port = value ? std::get_if<std::string>(&*value) : nullptr;
            return port ? std::optional<std::string>(*port) : std::nullopt;
        }, pane.contentView()), 1);
        SourceSettingsPane::startStoredCorrections(*m_correctionsController, *preferences, this);
    }
}

void MainWindow::buildSplashDrawer()
{
    m_splashDrawer = &addPane({"overview", "pane.overview", "menu.overview", QtDrawer::Edge::Left, {}, nullptr});
    QWidget* content = m_splashDrawer->contentView();
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 8, 0, 0);
    m_splashImageView = new QtImageView(content);
    m_splashImageView->setFixedSize(200, 150);
    layout->addWidget(m_splashImageView, 0, Qt::AlignHCenter);
    layout->addStretch(1);
    // The splash controller titles this button once it knows what it does.
    m_launchButton = new QtButton(text("button.showOnMap"), content);
    m_learnMoreButton = new QtButton(text("button.learnMore"), content);
    layout->addWidget(m_launchButton);
    layout->addWidget(m_learnMoreButton);
}

void MainWindow::connectControllers()
{
    // The read-outs' first size is the one they are laid out at; the window may be made
    // smaller than that (small screens), down to a share of it with the same proportions,
    // since the window keeps the proportions of its content's smallest size.
    QWidget* central = m_window.widget()->centralWidget();
    // A larger window is for larger read-outs: the content takes the room, the panes keep
    // theirs unless the user drags their edges.
    central->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_monitorTextView->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_readoutPanel->settleFirstSize(kSmallestContentShare);

    // Every controller exists before any outlet refers to it.
    m_gpsController = std::make_unique<GPSController>();
    m_gpsSettingsController = std::make_unique<GPSSettingsController>();
    m_monitorController = std::make_unique<MonitorController>();
    m_satelliteStore = std::make_unique<SatelliteStore>();
    m_splashController = std::make_unique<SplashController>();
    m_appController = std::make_unique<AppController>();

    connectInstruments();
    connectWindowController();
    connectSettingsController();
    connectMonitorController();
    connectSatelliteController();
    connectSplashController();
    connectAppController();
}

void MainWindow::connectAppController()
{
    m_appController->setGpsController(m_gpsController.get());
    m_appController->setGpsSettingsController(m_gpsSettingsController.get());
    m_appController->setSaveWindowState([this] { saveWindowState(); });
    m_quitItem->setValidator(
        [this](platform::MenuItem* item) { return m_appController->isMenuItemEnabled(item); });
}

void MainWindow::connectWindowController()
{
    GPSController& controller = *m_gpsController;
    controller.setGpsWindow(&m_window);
    controller.setUtcLabelField(m_captions[Utc]);
    controller.setLatitudeLabelField(m_captions[Latitude]);
    controller.setLongitudeLabelField(m_captions[Longitude]);
    controller.setCogLabelField(m_captions[Cog]);
    controller.setSogLabelField(m_captions[Sog]);
    controller.setFixLabelField(m_captions[Fix]);
    controller.setUtcField(m_readouts[Utc]);
    controller.setFixField(m_readouts[Fix]);
    controller.setLatitudeField(m_readouts[Latitude]);
    controller.setLongitudeField(m_readouts[Longitude]);
    controller.setCogField(m_readouts[Cog]);
    controller.setSogField(m_readouts[Sog]);
    controller.setDataReadyView(m_dataReadyView.get());
    controller.setCompassView(m_compassView.get());
    controller.setSatellitesButton(m_satellitesButton);
    controller.setSettingsButton(m_settingsButton);
    controller.setMonitorButton(m_monitorButton);
    controller.setGpsConnectMenuItem(m_connectItem);
    controller.setGpsSettingsController(m_gpsSettingsController.get());
    controller.setSatelliteStore(m_satelliteStore.get());
    controller.setMonitorController(m_monitorController.get());
    controller.setSplashController(m_splashController.get());
    controller.setReceiverTestController(m_receiverTestController.get());
    m_receiverTestController->setRestartSender(
        [this](RestartDepth depth) { return m_gpsController->requestRestart(depth); });
    m_window.setDelegate(&controller);

    m_connectItem->setAction([this] { m_gpsController->onGPSConnect(); });
    m_connectItem->setValidator(
        [this](platform::MenuItem* item) { return m_gpsController->isMenuItemEnabled(item); });
    m_disconnectItem->setAction([this] { m_gpsController->closeConnection(); });
    m_disconnectItem->setValidator(
        [this](platform::MenuItem*) { return m_gpsController->hasConnection(); });
    // A new port or rate chosen in the drawer is captured and the connection remade.
    for (QtComboBox* box : {m_portComboBox, m_rateComboBox}) {
        connect(box, &QComboBox::activated, this, [this] { m_gpsController->onGPSSettingsChange(); });
    }
}

void MainWindow::connectSettingsController()
{
    GPSSettingsController& controller = *m_gpsSettingsController;
    controller.setTypeComboBox(m_typeComboBox);
    controller.setRateComboBox(m_rateComboBox);
    controller.setPortComboBox(m_portComboBox);
    controller.setUnitsComboBox(m_unitsComboBox);
    // Kilometres where the desktop's locale measures in metres (de_DE); miles in the US and
    // UK and where no locale is set (C), as ever.
    const QLocale desktop = QLocale::system();
    const bool metric = desktop.language() != QLocale::C &&
                        desktop.measurementSystem() == QLocale::MetricSystem;
    controller.setDefaultUnits(metric ? 1 : 0);
    controller.setSettingsDrawer(m_settingsDrawer);
}

void MainWindow::connectMonitorController()
{
    MonitorController& controller = *m_monitorController;
    controller.setMonitorDrawer(m_monitorDrawer);
    controller.setMonitorTextView(m_monitorTextView);
    controller.setStartButton(m_startButton);
    controller.setClearButton(m_clearButton);
    m_monitorDrawer->setDelegate(&controller);
    m_startButton->setAction([this] { m_monitorController->onGPSMonitorStart(); });
    m_clearButton->setAction([this] { m_monitorController->onGPSMonitorClear(); });
}

void MainWindow::connectInstruments()
{
    m_compassView = std::make_unique<CompassView>();
    m_compassHost->setView(m_compassView.get());
    m_dataReadyView = std::make_unique<DataLampView>();
    m_dataReadyHost->setView(m_dataReadyView.get());
}

void MainWindow::connectSatelliteController()
{
    m_satelliteStore->setSatelliteDrawer(m_satelliteDrawer);
    m_satelliteView = std::make_unique<SkyPlotView>();
    m_satelliteView->setSatelliteStore(m_satelliteStore.get());
    m_satelliteHost->setView(m_satelliteView.get());
    m_satelliteStore->setSatelliteView(m_satelliteView.get());
}

void MainWindow::connectSplashController()
{
    m_splashController->setSplashDrawer(m_splashDrawer);
    m_splashController->setSplashImageView(m_splashImageView);
    m_splashController->setLaunchButton(m_launchButton);
    m_launchButton->setAction([this] { m_splashController->onLaunch(); });
    m_learnMoreButton->setAction([this] { m_splashController->onLearnMore(); });
}

void MainWindow::start()
{
    // Start-up order: window controller, settings, monitor, satellite store, splash,
    // application controller.
    // The corrections and the configuration pane reach the receiver through the reader.
    if (m_correctionsController) {
        m_gpsController->setCorrections(&m_correctionsController->queue());
        // A u-blox receiver says which correction frames it used.
        m_gpsController->setUbxListener([corrections = m_correctionsController.get()](const binary::UbxRecord& record) {
            if (const auto* report = std::get_if<binary::UbxRxmRtcm>(&record)) corrections->receiverReport(*report);
        });
    }
    if (m_receiverConfigPane) {
        GPSController* controller = m_gpsController.get();
        m_receiverConfigPane->setLink({
            .connected = [controller] { return controller->hasConnection(); },
            .send = [controller](std::vector<std::uint8_t> frame) { controller->sendToReceiver(std::move(frame)); },
            .reopenAt = [controller](std::uint32_t baud) { return controller->requestReopenAt(baud); },
            .lineRate = [controller] { return controller->lineRate(); },
        });
        m_gpsController->setUbxFrameListener(
            [pane = m_receiverConfigPane](std::uint8_t messageClass, std::uint8_t messageId,
                                          std::span<const std::uint8_t> payload) {
                pane->onUbxFrame(messageClass, messageId, payload);
            });
    }
    m_gpsController->start();
    m_gpsSettingsController->start();
    m_monitorController->start();
    m_satelliteStore->start();
    m_splashController->start();
    m_appController->start();
    if (m_application.isTerminating()) return;
    // Panes opened while the window was hidden count in its size only once it shows. It
    // shows first off the screen, so that the desktop sees it once, at the size it keeps.
    QMainWindow* widget = m_window.widget();
    widget->setAttribute(Qt::WA_DontShowOnScreen, true);
    widget->show();
    restoreWindowState();
    widget->hide();
    widget->setAttribute(Qt::WA_DontShowOnScreen, false);
    m_window.show();
    // Shown for real, the window has the desktop's frame around it, which must fit too.
    WindowPlacement::keepOnScreen(*widget);
    fitReadoutTexts();
}

void MainWindow::fitReadoutTexts()
{
    // The read-outs' texts follow the size they were finally laid out at.
    QMainWindow* widget = m_window.widget();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    if (widget->layout()) widget->layout()->activate();
    m_gpsController->windowDidResize();
}

void MainWindow::saveWindowState()
{
    m_paneSet.save();
}

void MainWindow::restoreWindowState()
{
    m_paneSet.restore();
    fitReadoutTexts();
}

std::vector<QWidget*> MainWindow::visibleWindows() const
{
    std::vector<QWidget*> windows{m_window.widget()};
    // Sheets and panels: open dialogs, in the order they were made (the later on top).
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top != m_window.widget() && top->isVisible() && qobject_cast<QDialog*>(top))
            windows.push_back(top);
    }
    return windows;
}

}  // namespace qtplatform
