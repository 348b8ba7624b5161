#include "platform/qt/MainWindow.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QVBoxLayout>

#include "core/CompassView.h"
#include "core/DataLampView.h"
#include "core/SkyPlotView.h"

#include "app/AppController.h"
#include "app/GPSController.h"
#include "app/MonitorController.h"
#include "core/SatelliteStore.h"
#include "app/GPSSettingsController.h"
#include "app/SplashController.h"
#include "platform/qt/QtApplication.h"
#include "platform/qt/QtFont.h"

namespace qtplatform {

namespace {

// Sizes in points (logical pixels). A read-out's text is sized from its field's height by
// the window controller, so the heights set the look: captions small, values large.
constexpr int kCaptionHeight = 20;
constexpr int kValueHeight = 32;
constexpr int kReadoutWidth = 222;
constexpr int kCompassHeight = 24;
constexpr int kLampSize = 20;
// The sky plot's geometry follows its height; this width holds twelve signal columns and
// the three captions above them.
constexpr int kSkyPlotHeight = 236;
constexpr int kSkyPlotWidth = 460;

// What a field gets before the window controller sizes its text: the same rule (bold,
// eight points less than the field is high), so the first frame already looks right.
platform::Font fontForHeight(int height)
{
    return {platform::FontKind::BoldSystem, static_cast<float>(std::max(1, height - 8))};
}

QtTextField* makeCaption(QWidget* parent, const QString& text)
{
    auto* field = new QtTextField(parent);
    field->setText(text);
    // Captions keep their small size when the window grows; the values take the room.
    field->setFixedHeight(kCaptionHeight);
    field->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    QPalette colours = field->palette();
    colours.setColor(QPalette::WindowText, QColor(96, 104, 112));
    field->setPalette(colours);
    field->setFont(fontForHeight(kCaptionHeight));
    return field;
}

QtTextField* makeReadout(QWidget* parent)
{
    auto* field = new QtTextField(parent);
    field->setMinimumSize(kReadoutWidth, kValueHeight);
    // The height comes from the window, and the text size from the height, never the other
    // way round.
    field->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    field->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    field->setStyleSheet(QStringLiteral(
        "QLabel { background: #fbfcfd; color: #10161c; border: 1px solid #c9cfd6;"
        " border-radius: 4px; padding: 0px 6px; }"));
    field->setFont(fontForHeight(kValueHeight));
    // Border and padding of the style sheet above, both sides.
    field->setShrinkToFit(true, 14);
    return field;
}

}  // namespace

MainWindow::MainWindow(QtApplication& application) : m_application(application)
{
    buildWindow();
    buildMenu();
    buildSettingsDrawer();
    buildMonitorDrawer();
    buildSatelliteDrawer();
    buildSplashDrawer();
    connectControllers();
}

MainWindow::~MainWindow()
{
    // The controllers and views go before the widgets that refer to them: stop the reader
    // thread first, then take every reference to them out of the widgets.
    if (m_gpsController) m_gpsController->shutdown();
    m_window.setDelegate(nullptr);
    m_monitorDrawer->setDelegate(nullptr);
    m_compassHost->setView(nullptr);
    m_dataReadyHost->setView(nullptr);
    m_satelliteHost->setView(nullptr);
}

void MainWindow::buildWindow()
{
    QMainWindow* widget = m_window.widget();
    widget->setWindowTitle(QStringLiteral("GPS Desk"));

    auto* central = new QWidget(widget);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(14, 10, 14, 12);
    layout->setSpacing(8);

    // Two columns of caption-over-value: where and when on the left, how on the right.
    auto* grid = new QGridLayout();
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(0);
    const struct {
        Readout readout;
        const char* caption;
        int row;
        int column;
    } places[] = {
        {Utc, "UTC", 0, 0}, {Latitude, "LATITUDE", 2, 0}, {Longitude, "LONGITUDE", 4, 0},
        {Fix, "FIX", 0, 1}, {Sog, "SPEED", 2, 1},         {Cog, "COURSE", 4, 1},
    };
    for (const auto& place : places) {
        m_captions[place.readout] = makeCaption(central, QString::fromLatin1(place.caption));
        m_readouts[place.readout] = makeReadout(central);
        grid->addWidget(m_captions[place.readout], place.row, place.column);
        grid->addWidget(m_readouts[place.readout], place.row + 1, place.column);
    }
    // When the window grows, the values grow with it.
    for (int row = 1; row < 6; row += 2) grid->setRowStretch(row, 1);
    layout->addLayout(grid, 1);

    m_compassHost = new QtViewWidget(central);
    m_compassHost->setFixedHeight(kCompassHeight);
    m_compassHost->setToolTip(QStringLiteral("Course"));
    layout->addSpacing(4);
    layout->addWidget(m_compassHost);

    auto* bottom = new QHBoxLayout();
    bottom->setSpacing(8);
    m_dataReadyHost = new QtViewWidget(central);
    m_dataReadyHost->setFixedSize(kLampSize, kLampSize);
    m_dataReadyHost->setToolTip(
        QStringLiteral("Data: red none, yellow unknown sentences, green position data"));
    bottom->addWidget(m_dataReadyHost);
    auto* lampCaption = new QLabel(QStringLiteral("Data"), central);
    bottom->addWidget(lampCaption);
    bottom->addStretch(1);
    m_satellitesButton = new QtButton(QStringLiteral("Satellites"), central);
    m_settingsButton = new QtButton(QStringLiteral("Settings"), central);
    m_monitorButton = new QtButton(QStringLiteral("Monitor"), central);
    for (QtButton* button : {m_satellitesButton, m_settingsButton, m_monitorButton}) {
        button->setFocusPolicy(Qt::TabFocus);
        bottom->addWidget(button);
    }
    layout->addLayout(bottom);

    widget->setCentralWidget(central);
}

void MainWindow::buildMenu()
{
    QMainWindow* widget = m_window.widget();
    QMenu* menu = widget->menuBar()->addMenu(QStringLiteral("&GPS"));
    m_connectItem = new QtMenuItem(QStringLiteral("&Connect"), widget);
    m_connectItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
    menu->addAction(m_connectItem);
    menu->addSeparator();
    m_quitItem = new QtMenuItem(QStringLiteral("&Quit"), widget);
    m_quitItem->setShortcut(QKeySequence::Quit);
    m_quitItem->setMenuRole(QAction::QuitRole);
    m_quitItem->setAction([this] { m_application.terminate(); });
    menu->addAction(m_quitItem);
    // Items are validated just before the menu shows.
    connect(menu, &QMenu::aboutToShow, this, [this] {
        m_connectItem->validate();
        m_quitItem->validate();
    });
}

void MainWindow::buildSettingsDrawer()
{
    m_settingsDrawer = std::make_unique<QtDrawer>(m_window.widget(), QtDrawer::Edge::Top);
    QWidget* content = m_settingsDrawer->contentView();
    auto* grid = new QGridLayout(content);
    grid->setContentsMargins(2, 0, 20, 0);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(3);
    m_typeComboBox = new QtComboBox(content);
    m_rateComboBox = new QtComboBox(content);
    m_portComboBox = new QtComboBox(content);
    m_unitsComboBox = new QtComboBox(content);
    // The receiver type is a choice of the window alone; no code reads it.
    m_typeComboBox->addItemWithObjectValue("SiRF (NMEA 0183)");
    m_typeComboBox->selectItemAtIndex(0);
    m_portComboBox->setMinimumContentsLength(14);
    m_typeComboBox->setMinimumContentsLength(14);
    const struct {
        const char* title;
        QtComboBox* box;
    } columns[] = {{"Receiver", m_typeComboBox},
                   {"Rate", m_rateComboBox},
                   {"Port", m_portComboBox},
                   {"Units", m_unitsComboBox}};
    int column = 0;
    for (const auto& entry : columns) {
        grid->addWidget(new QLabel(QString::fromLatin1(entry.title), content), 0, column);
        grid->addWidget(entry.box, 1, column);
        entry.box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        entry.box->setMinimumContentsLength(std::max(8, entry.box->minimumContentsLength()));
        grid->setColumnStretch(column, entry.box == m_portComboBox ? 2 : 1);
        ++column;
    }
    m_settingsButton->setAction([this] { m_settingsDrawer->toggle(); });
}

void MainWindow::buildMonitorDrawer()
{
    m_monitorDrawer = std::make_unique<QtDrawer>(m_window.widget(), QtDrawer::Edge::Bottom);
    QWidget* content = m_monitorDrawer->contentView();
    auto* layout = new QHBoxLayout(content);
    layout->setContentsMargins(0, 8, 0, 0);
    m_monitorTextView = new QtTextView(content);
    m_monitorTextView->setMinimumHeight(150);
    layout->addWidget(m_monitorTextView, 1);
    auto* buttons = new QVBoxLayout();
    m_startButton = new QtButton(QStringLiteral("Start"), content);
    m_clearButton = new QtButton(QStringLiteral("Clear"), content);
    buttons->addWidget(m_startButton);
    buttons->addWidget(m_clearButton);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    m_monitorButton->setAction([this] { m_monitorDrawer->toggle(); });
}

void MainWindow::buildSatelliteDrawer()
{
    m_satelliteDrawer = std::make_unique<QtDrawer>(m_window.widget(), QtDrawer::Edge::Right);
    QWidget* content = m_satelliteDrawer->contentView();
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 6, 0, 0);
    m_satelliteHost = new QtViewWidget(content);
    m_satelliteHost->setFixedSize(kSkyPlotWidth, kSkyPlotHeight);
    layout->addWidget(m_satelliteHost);
    layout->addStretch(1);
    m_satellitesButton->setAction([this] { m_satelliteDrawer->toggle(); });
}

void MainWindow::buildSplashDrawer()
{
    m_splashDrawer = std::make_unique<QtDrawer>(m_window.widget(), QtDrawer::Edge::Left);
    QWidget* content = m_splashDrawer->contentView();
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 8, 0, 0);
    m_splashImageView = new QtImageView(content);
    m_splashImageView->setFixedSize(200, 150);
    layout->addWidget(m_splashImageView, 0, Qt::AlignHCenter);
    layout->addStretch(1);
    m_launchButton = new QtButton(QStringLiteral("Start Corvane"), content);
    m_learnMoreButton = new QtButton(QStringLiteral("Learn More…"), content);
    layout->addWidget(m_launchButton);
    layout->addWidget(m_learnMoreButton);
}

void MainWindow::connectControllers()
{
    QMainWindow* widget = m_window.widget();
    widget->adjustSize();
    widget->setMinimumSize(widget->sizeHint());
    widget->resize(widget->minimumSize());

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
    m_quitItem->setValidator(
        [this](platform::MenuItem* item) { return m_appController->validateMenuItem(item); });
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
    m_window.setDelegate(&controller);

    m_connectItem->setAction([this] { m_gpsController->onGPSConnect(); });
    m_connectItem->setValidator(
        [this](platform::MenuItem* item) { return m_gpsController->validateMenuItem(item); });
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
    controller.setSettingsDrawer(m_settingsDrawer.get());
}

void MainWindow::connectMonitorController()
{
    MonitorController& controller = *m_monitorController;
    controller.setMonitorDrawer(m_monitorDrawer.get());
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
    m_satelliteStore->setSatelliteDrawer(m_satelliteDrawer.get());
    m_satelliteView = std::make_unique<SkyPlotView>();
    m_satelliteView->setSatelliteStore(m_satelliteStore.get());
    m_satelliteHost->setView(m_satelliteView.get());
    m_satelliteStore->setSatelliteView(m_satelliteView.get());
}

void MainWindow::connectSplashController()
{
    m_splashController->setSplashDrawer(m_splashDrawer.get());
    m_splashController->setSplashImageView(m_splashImageView);
    m_launchButton->setAction([this] { m_splashController->onCorvane(); });
    m_learnMoreButton->setAction([this] { m_splashController->onLearnMore(); });
}

void MainWindow::awakeFromNib()
{
    // Start-up order: window controller, settings, monitor, satellite store, splash,
    // application controller.
    m_gpsController->awakeFromNib();
    m_gpsSettingsController->awakeFromNib();
    m_monitorController->awakeFromNib();
    m_satelliteStore->awakeFromNib();
    m_splashController->awakeFromNib();
    m_appController->awakeFromNib();
    if (m_application.isTerminating()) return;
    m_window.makeKeyAndOrderFront();
}

std::vector<QWidget*> MainWindow::visibleWindows() const
{
    std::vector<QWidget*> windows;
    for (const auto* drawer : {&m_settingsDrawer, &m_monitorDrawer, &m_satelliteDrawer,
                               &m_splashDrawer}) {
        if ((*drawer)->isOpen()) windows.push_back((*drawer)->panel());
    }
    windows.push_back(m_window.widget());
    return windows;
}

}  // namespace qtplatform
