// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <QKeySequence>
#include <QObject>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "qt/QtButton.h"
#include "qt/QtComboBox.h"
#include "qt/QtDrawer.h"
#include "qt/QtImageView.h"
#include "qt/QtMenuItem.h"
#include "qt/QtTextField.h"
#include "qt/QtTextView.h"
#include "qt/QtViewWidget.h"
#include "qt/QtWindow.h"
#include "qt/PaneSet.h"
#include "qt/ReadoutPanel.h"
#include "qt/WindowMenus.h"

class AppController;
class GPSController;
class MonitorController;
class SatelliteStore;
class GPSSettingsController;
class CompassView;
class DataLampView;
class SkyPlotView;
class SplashController;
class ReceiverTestController;
class CorrectionsController;
class QMenu;

namespace platform {
class SecretStore;
}

namespace qtplatform {

class QtApplication;
class ReceiverConfigPane;
class ReceiverTestPane;

// The main window description: makes the window, its read-outs, instruments, buttons and
// menus, the panes on its four sides and the controllers, connects the controllers' outlets
// and the controls' actions, and then wakes every object in start-up order. Owns all of it.
// Every text it shows comes from the message tables.
class MainWindow : public QObject {
    Q_OBJECT
public:
    explicit MainWindow(QtApplication& application);
    ~MainWindow() override;

    // Runs each object's start in start-up order, then shows the window (unless a
    // wake-up ended the application).
    void start();

    QtWindow& window() { return m_window; }
    GPSController& gpsController() { return *m_gpsController; }
    SplashController& splashController() { return *m_splashController; }
    // The main window (panes included) and the sheets and panels open over it, in stacking
    // order, for a picture of the whole program.
    std::vector<QWidget*> visibleWindows() const;

    // Adds a pane on a side of the window with a View menu item (and its shortcut) that
    // opens and closes it, and, when given, the window's button that does the same.
    using NewPane = PaneSet::NewPane;
    QtDrawer& addPane(const NewPane& wanted);

    // Menu commands another part of the program provides (File: "record", "replay",
    // "exportGpx"). An item stays disabled, saying why in its tooltip, until its command is
    // registered; isEnabled, when given, is asked before the menu shows.
    void registerCommand(const std::string& name, std::function<void()> action,
                         std::function<bool()> isEnabled = {});
    // The menu item of a command or pane by name; nullptr for none.
    QtMenuItem* menuItem(const std::string& name) const;

    // Which panes are open and where the window stands, to and from the preferences.
    void saveWindowState();
    void restoreWindowState();

    // The controls, for the controllers and for tests.
    using Readout = ReadoutPanel::Readout;
    using enum ReadoutPanel::Readout;
    QtTextField& captionField(Readout readout) { return *m_captions[readout]; }
    QtTextField& readoutField(Readout readout) { return *m_readouts[readout]; }
    QtViewWidget& compassHost() { return *m_compassHost; }
    QtViewWidget& dataReadyHost() { return *m_dataReadyHost; }
    QtViewWidget& satelliteHost() { return *m_satelliteHost; }
    QtDrawer& settingsDrawer() { return *m_settingsDrawer; }
    QtDrawer& monitorDrawer() { return *m_monitorDrawer; }
    QtDrawer& satelliteDrawer() { return *m_satelliteDrawer; }
    QtDrawer& splashDrawer() { return *m_splashDrawer; }
    QtDrawer& receiverTestDrawer() { return *m_receiverTestDrawer; }
    ReceiverTestController& receiverTestController() { return *m_receiverTestController; }
    CorrectionsController& correctionsController() { return *m_correctionsController; }
    QtMenuItem& connectMenuItem() { return *m_connectItem; }
    QtMenuItem& quitMenuItem() { return *m_quitItem; }
    // Receiver › Configure…: a window of its own, to be linked to the reader.
    ReceiverConfigPane& receiverConfigPane() { return *m_receiverConfigPane; }
    QtButton& launchButton() { return *m_launchButton; }

private:
    void buildWindow();
    void fitReadoutTexts();
    void buildMenu();
    void showAbout();
    void buildSettingsDrawer();
    void buildMonitorDrawer();
    void buildSatelliteDrawer();
    void buildSplashDrawer();
    void buildReceiverTestPane();
    void buildReceiverHealthPane();
    void buildCorrectionsPane();
    void connectControllers();
    void connectInstruments();
    void connectWindowController();
    void connectSettingsController();
    void connectMonitorController();
    void connectAppController();
    void connectSatelliteController();
    void connectSplashController();

    QtApplication& m_application;
    QtWindow m_window;
    WindowMenus m_menus{*m_window.widget()};
    PaneSet m_paneSet{m_window, m_menus};
    ReadoutPanel* m_readoutPanel = nullptr;

    std::array<QtTextField*, ReadoutCount> m_captions{};
    std::array<QtTextField*, ReadoutCount> m_readouts{};
    QtViewWidget* m_compassHost = nullptr;
    QtViewWidget* m_dataReadyHost = nullptr;
    QtButton* m_satellitesButton = nullptr;
    QtButton* m_settingsButton = nullptr;
    QtButton* m_monitorButton = nullptr;
    QtMenuItem* m_connectItem = nullptr;
    QtMenuItem* m_disconnectItem = nullptr;
    QtMenuItem* m_quitItem = nullptr;
    QMenu* m_fileMenu = nullptr;
    QMenu* m_viewMenu = nullptr;

    QtDrawer* m_settingsDrawer = nullptr;
    QtComboBox* m_typeComboBox = nullptr;
    QtComboBox* m_rateComboBox = nullptr;
    QtComboBox* m_portComboBox = nullptr;
    QtComboBox* m_unitsComboBox = nullptr;

    QtDrawer* m_monitorDrawer = nullptr;
    QtTextView* m_monitorTextView = nullptr;
    QtButton* m_startButton = nullptr;
    QtButton* m_clearButton = nullptr;

    QtDrawer* m_satelliteDrawer = nullptr;
    QtViewWidget* m_satelliteHost = nullptr;

    QtDrawer* m_splashDrawer = nullptr;
    QtDrawer* m_receiverTestDrawer = nullptr;
    ReceiverTestPane* m_receiverTestPane = nullptr;
    ReceiverConfigPane* m_receiverConfigPane = nullptr;
    QtImageView* m_splashImageView = nullptr;
    QtButton* m_launchButton = nullptr;
    QtButton* m_learnMoreButton = nullptr;

    // Declared last: they go first, while the controls they refer to still exist.
    std::unique_ptr<CompassView> m_compassView;
    std::unique_ptr<DataLampView> m_dataReadyView;
    std::unique_ptr<SkyPlotView> m_satelliteView;
    std::unique_ptr<SatelliteStore> m_satelliteStore;
    std::unique_ptr<SplashController> m_splashController;
    std::unique_ptr<ReceiverTestController> m_receiverTestController;
    std::unique_ptr<GPSSettingsController> m_gpsSettingsController;
    std::unique_ptr<MonitorController> m_monitorController;
    std::unique_ptr<AppController> m_appController;
    // Before the window controller: its reader writes the corrections' queue until joined.
    std::unique_ptr<platform::SecretStore> m_secretStore;
    std::unique_ptr<CorrectionsController> m_correctionsController;
    // Last of all: its reader thread reads the settings controller until it is joined.
    std::unique_ptr<GPSController> m_gpsController;
};

}  // namespace qtplatform
