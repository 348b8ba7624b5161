// SPDX-License-Identifier: BSD-2-Clause
// The main window description: controls in place, panes on four sides of one window, menus
// and keys, every text from the message tables, one picture with the sheets in it.
#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QAbstractButton>
#include <QCoreApplication>
#include <QDockWidget>
#include <QEnterEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>

#include "GuiTestApp.h"
#include "fakes/FakeServices.h"
#include "platform/Services.h"
#include "posix/PosixClock.h"
#include "posix/PosixSleeper.h"
#include "posix/StringsBundle.h"
#include "platform/Alert.h"
#include "qt/QtAlerts.h"
#include "qt/MainWindow.h"
#include "qt/QtApplication.h"
#include "qt/QtMainThread.h"
#include "qt/QtScreenshot.h"
#include "qt/ReadoutPanel.h"
#include "serial/PortDiscovery.h"
#include "serial/Serial.h"

using namespace qtplatform;

namespace {

// The real Qt application and main thread under the window, fakes where a test must not
// show a panel or write the user's files, and one serial device so start-up goes on.
class MainWindowTest : public ::testing::Test {
protected:
    ~MainWindowTest() override
    {
        mainThread.quit();
        sleeper.wake();
        mainWindow.reset();  // joins the reader thread while the services still exist
        platform::services() = platform::Services{};
        PortDiscovery::clearExtraPorts();
    }

    QApplication& qtApplication = guiTestApp();  // before any widget
    QtApplication application;
    QtMainThread mainThread;
    fakes::FakeAlerts alerts;
    fakes::FakeBundle bundle;
    fakes::FakePreferences preferences;
    platform::posix::PosixClock clock;
    platform::posix::PosixSleeper sleeper;
    std::unique_ptr<MainWindow> mainWindow = makeMainWindow();

    // A second run of the program: the window description made again over the same services.
    void remake()
    {
        mainThread.quit();
        sleeper.wake();
        mainWindow.reset();
        mainWindow = makeMainWindow();
    }

private:
    std::unique_ptr<MainWindow> makeMainWindow()
    {
        PortDiscovery::addExtraPort("/dev/null");
        PortDiscovery::clearExtraPorts();
        platform::Bundle* texts = platform::services().bundle ? platform::services().bundle : &bundle;
        platform::services() = {.alerts = &alerts,
                                .application = &application,
                                .bundle = texts,
                                .clock = &clock,
                                .mainThread = &mainThread,
                                .preferences = &preferences,
                                .sleeper = &sleeper};
        return std::make_unique<MainWindow>(application);
    }
};

}  // namespace

TEST_F(MainWindowTest, PanesSitOnFourSidesOfOneWindowAndThePictureHoldsTheSheet)
{
    MainWindow& mainWindow = *this->mainWindow;
    QMainWindow* window = mainWindow.window().widget();
    mainWindow.start();
    for (QtDrawer* drawer : {&mainWindow.settingsDrawer(), &mainWindow.monitorDrawer(),
                             &mainWindow.satelliteDrawer(), &mainWindow.splashDrawer()}) {
        drawer->open();
    }
    QCoreApplication::processEvents();
    ASSERT_TRUE(window->isVisible());

    int shownWindows = 0;
    for (QWidget* top : QApplication::topLevelWidgets()) shownWindows += top->isVisible() ? 1 : 0;
    EXPECT_EQ(shownWindows, 1) << "the panes are inside the one window";
    const QRect content = window->centralWidget()->geometry();
    EXPECT_GE(mainWindow.satelliteDrawer().panel()->geometry().left(), content.right());
    EXPECT_LE(mainWindow.splashDrawer().panel()->geometry().right(), content.left());
    EXPECT_LE(mainWindow.settingsDrawer().panel()->geometry().bottom(), content.top());
    EXPECT_GE(mainWindow.monitorDrawer().panel()->geometry().top(), content.bottom());

    // Twelve signal columns of a 16-point label beside a 200-point plot, and D = H - 36.
    EXPECT_EQ(mainWindow.satelliteHost().height(), 236);
    EXPECT_GE(mainWindow.satelliteHost().width(), 200 + 30 + 12 * 18);
    EXPECT_EQ(mainWindow.compassHost().height(), 24);
    EXPECT_EQ(mainWindow.dataReadyHost().size(), QSize(20, 20));

    // A sheet over the window is in the picture, where it stands.
    ASSERT_EQ(mainWindow.visibleWindows().size(), 1u);
    const QImage alone = composeWindows(mainWindow.visibleWindows(), 0);
    EXPECT_EQ(alone.size(), window->size());
    QtAlerts realAlerts;
    platform::services().alerts = &realAlerts;
    Alert::showMessageWithKey(&mainWindow.window(), "UnableToOpenPort");
    QCoreApplication::processEvents();
    const auto windows = mainWindow.visibleWindows();
    ASSERT_EQ(windows.size(), 2u);
    QWidget* sheet = windows[1];
    EXPECT_TRUE(sheet->isModal());
    EXPECT_EQ(sheet->parentWidget(), window);
    const QImage withSheet = composeWindows(windows, 0);
    const QPoint middle = sheet->geometry().center() - window->geometry().topLeft();
    ASSERT_TRUE(QRect(QPoint(), withSheet.size()).contains(middle));
    EXPECT_EQ(withSheet.pixel(middle), sheet->grab().toImage().pixel(sheet->rect().center()));
    if (const char* folder = std::getenv("GPSDESK_GUI_PICTURES"))
        composeWindows(windows).save(QString::fromUtf8(folder) + "/mainwindow-sheet.png");
    delete sheet;
    platform::services().alerts = &alerts;
}

TEST_F(MainWindowTest, MenusCarryTheKeysAndDisableWhatNobodyProvides)
{
    MainWindow& mainWindow = *this->mainWindow;
    mainWindow.start();
    const struct {
        const char* name;
        QKeySequence keys;
    } shortcuts[] = {{"satellites", QKeySequence(Qt::CTRL | Qt::Key_1)},
                     {"settings", QKeySequence(Qt::CTRL | Qt::Key_2)},
                     {"monitor", QKeySequence(Qt::CTRL | Qt::Key_3)},
                     {"receiverTest", QKeySequence(Qt::CTRL | Qt::Key_4)},
                     {"receiverHealth", QKeySequence(Qt::CTRL | Qt::Key_5)},
                     {"connect", QKeySequence(Qt::CTRL | Qt::Key_K)},
                     {"quit", QKeySequence(Qt::CTRL | Qt::Key_Q)},
                     {"help", QKeySequence(Qt::Key_F1)}};
    for (const auto& entry : shortcuts) {
        SCOPED_TRACE(entry.name);
        QtMenuItem* item = mainWindow.menuItem(entry.name);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->shortcut(), entry.keys);
        EXPECT_TRUE(mainWindow.window().widget()->actions().contains(item))
            << "the key works with the menu closed";
    }

    // A View item opens and closes its pane like the button.
    QtDrawer& settings = mainWindow.settingsDrawer();
    const bool wasOpen = settings.isOpen();
    mainWindow.menuItem("settings")->trigger();
    EXPECT_NE(settings.isOpen(), wasOpen);
    mainWindow.menuItem("settings")->trigger();
    EXPECT_EQ(settings.isOpen(), wasOpen);

    // The window's button does the same (the fake tables show keys as texts).
    QAbstractButton* satellites = nullptr;
    for (QAbstractButton* button : mainWindow.window().widget()->findChildren<QAbstractButton*>())
        if (button->text() == "button.satellites") satellites = button;
    ASSERT_NE(satellites, nullptr);
    const bool skyOpen = mainWindow.satelliteDrawer().isOpen();
    satellites->click();
    EXPECT_NE(mainWindow.satelliteDrawer().isOpen(), skyOpen);

    // Disconnect only with a connection; this port never connects.
    mainWindow.menuItem("disconnect")->validate();
    EXPECT_FALSE(mainWindow.menuItem("disconnect")->isEnabled());

    // A command another part provides: disabled and saying why until it is registered.
    QtMenuItem* record = mainWindow.menuItem("record");
    ASSERT_NE(record, nullptr);
    record->validate();
    EXPECT_FALSE(record->isEnabled());
    EXPECT_FALSE(record->toolTip().isEmpty());
    int recorded = 0;
    bool allowed = true;
    mainWindow.registerCommand("record", [&] { ++recorded; }, [&] { return allowed; });
    record->validate();
    EXPECT_TRUE(record->isEnabled());
    record->trigger();
    EXPECT_EQ(recorded, 1);
    allowed = false;
    record->trigger();  // validated again when chosen
    EXPECT_EQ(recorded, 1);
    mainWindow.registerCommand("record", {});
    record->validate();
    EXPECT_FALSE(record->isEnabled());

    // A pane added later gets its View item and key in one call.
    QtDrawer& extra = mainWindow.addPane({"extra", "pane.satellites", "menu.satellites",
                                         QtDrawer::Edge::Right, QKeySequence(Qt::CTRL | Qt::Key_5)});
    ASSERT_NE(mainWindow.menuItem("extra"), nullptr);
    mainWindow.menuItem("extra")->trigger();
    EXPECT_TRUE(extra.isOpen());
}

TEST_F(MainWindowTest, RemembersItsPanesAndPlaceForTheNextRun)
{
    mainWindow->start();
    QCoreApplication::processEvents();
    EXPECT_TRUE(mainWindow->monitorDrawer().isOpen()) << "first start: the controllers' panes";
    // Small enough to stand anywhere on the test's screen.
    mainWindow->monitorDrawer().close();
    mainWindow->satelliteDrawer().close();
    mainWindow->settingsDrawer().open();
    QMainWindow* window = mainWindow->window().widget();
    window->move(23, 37);
    QCoreApplication::processEvents();
    const QSize size = window->size();
    mainWindow->saveWindowState();
    EXPECT_EQ(std::get<std::string>(preferences.values.at("openPanes")), "settings,overview");

    remake();
    mainWindow->start();
    QCoreApplication::processEvents();
    EXPECT_FALSE(mainWindow->monitorDrawer().isOpen());
    EXPECT_TRUE(mainWindow->settingsDrawer().isOpen());
    EXPECT_FALSE(mainWindow->satelliteDrawer().isOpen());
    window = mainWindow->window().widget();
    EXPECT_EQ(window->pos(), QPoint(23, 37));
    EXPECT_EQ(window->size(), size);

    // A damaged record is no reason not to start: the window takes its first-start place.
    preferences.values["windowGeometry"] = std::string("not a window");
    remake();
    mainWindow->start();
    EXPECT_TRUE(mainWindow->window().widget()->isVisible());
    EXPECT_TRUE(alerts.panels.empty());
}

TEST_F(MainWindowTest, EveryPaneOpenStaysOnTheScreenAndAStoredPlaceIsKeptOnIt)
{
    mainWindow->start();
    QCoreApplication::processEvents();
    QMainWindow* window = mainWindow->window().widget();
    const QRect screen = window->screen()->availableGeometry();
    for (QtDrawer* pane : {&mainWindow->satelliteDrawer(), &mainWindow->settingsDrawer(),
                           &mainWindow->monitorDrawer(), &mainWindow->splashDrawer(),
                           &mainWindow->receiverTestDrawer()})
        pane->open();
    mainWindow->saveWindowState();

    // A place saved on a larger screen, partly off this one.
    window->setGeometry(screen.right() - 100, screen.bottom() - 50, screen.width() * 2, screen.height() * 2);
    preferences.values["windowGeometry"] = window->saveGeometry().toBase64().toStdString();
    remake();
    mainWindow->start();
    window = mainWindow->window().widget();
    QCoreApplication::processEvents();
    EXPECT_TRUE(mainWindow->receiverTestDrawer().isOpen());
    EXPECT_TRUE(mainWindow->satelliteDrawer().isOpen());
    EXPECT_TRUE(screen.contains(window->frameGeometry()))
        << window->frameGeometry().width() << "x" << window->frameGeometry().height() << " at "
        << window->x() << "," << window->y();
    // The smallest window is far below the screen: the panes scroll instead.
    EXPECT_LE(window->minimumWidth(), 760);
    EXPECT_LE(window->minimumHeight(), 560);
}

TEST_F(MainWindowTest, ReadoutsFitTheirTextsAtTheFirstSize)
{
    MainWindow& mainWindow = *this->mainWindow;
    mainWindow.start();
    QCoreApplication::processEvents();
    // The widest texts the read-outs show must not be cut off.
    const struct {
        MainWindow::Readout readout;
        const char* text;
    } widest[] = {{MainWindow::Utc, "23:59:59"},
                  {MainWindow::Latitude, "89º59.99'N"},
                  {MainWindow::Longitude, "179º59.99'W"},
                  {MainWindow::Sog, "999.9 mph"},
                  {MainWindow::Cog, "359º"},
                  {MainWindow::Fix, "Automatic 3D"}};
    for (const auto& entry : widest) {
        SCOPED_TRACE(entry.text);
        QtTextField& field = mainWindow.readoutField(entry.readout);
        field.setStringValue(entry.text);
        const QFontMetrics metrics(field.font());
        // Inside a 1-point border and 6 points of padding on each side.
        EXPECT_LE(metrics.horizontalAdvance(QString::fromUtf8(entry.text)), field.width() - 14);
        EXPECT_LE(metrics.height(), field.height() - 2);
    }
}

// Counts what a change costs the window: frames composed, and layouts of the window itself.
class FrameCounter : public QObject {
public:
    explicit FrameCounter(QMainWindow* window) : m_window(window) { qApp->installEventFilter(this); }
    ~FrameCounter() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_window && event->type() == QEvent::UpdateRequest) ++frames;
        if ((watched == m_window || watched == m_window->centralWidget()) && event->type() == QEvent::LayoutRequest)
            ++windowLayouts;
        return false;
    }
    int frames = 0;
    int windowLayouts = 0;

private:
    QMainWindow* m_window;
};

// Read-outs change several times a second. A new text is drawn in the next frame, alone: it
// neither lays the window out again nor asks, while being drawn, for a second frame (each
// once doubled what the window cost). Its text can still be selected under the pointer.
TEST_F(MainWindowTest, ANewReadoutTextCostsOneFrameAndNoLayoutAndStaysSelectable)
{
    MainWindow& mainWindow = *this->mainWindow;
    mainWindow.start();
    QMainWindow* window = mainWindow.window().widget();
    window->show();
    for (int turn = 0; turn < 10; ++turn) QCoreApplication::processEvents();
    QtTextField& utc = mainWindow.readoutField(MainWindow::Utc);
    QtTextField& latitude = mainWindow.readoutField(MainWindow::Latitude);
    {
        FrameCounter counter(window);
        for (int second = 10; second < 13; ++second) {
            utc.setStringValue("12:35:" + std::to_string(second));
            latitude.setStringValue("52º31." + std::to_string(second) + "'N");
        }
        for (int turn = 0; turn < 10; ++turn) QCoreApplication::processEvents();
        EXPECT_EQ(counter.windowLayouts, 0);
        EXPECT_LE(counter.frames, 1);
    }
    EXPECT_EQ(utc.stringValue(), "12:35:12");
    EXPECT_GT(utc.height(), ReadoutPanel::kValueHeight / 2) << "the holder still gives the read-out its room";

    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QCoreApplication::sendEvent(&latitude, &enter);
    EXPECT_TRUE(latitude.textInteractionFlags() & Qt::TextSelectableByMouse);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&latitude, &leave);
    EXPECT_EQ(latitude.textInteractionFlags(), Qt::NoTextInteraction);
}

// A read-out that is stale, or that shows the speed of a void fix, must look it: the style
// sheet of the read-outs once held their text colour for the disabled state too.
TEST_F(MainWindowTest, AStaleReadoutIsDrawnGreyed)
{
    MainWindow& mainWindow = *this->mainWindow;
    mainWindow.start();
    QCoreApplication::processEvents();
    QtTextField& field = mainWindow.readoutField(MainWindow::Sog);
    field.setStringValue("11.5 MPH");
    const QImage fresh = field.grab().toImage();
    field.setStale(true);
    const QImage stale = field.grab().toImage();
    field.setStale(false);
    EXPECT_NE(fresh, stale);
    EXPECT_EQ(field.grab().toImage(), fresh);
}

TEST_F(MainWindowTest, StartsWithItsDrawersAndKeepsItsProportionsWithLargerTextWhenWidened)
{
    MainWindow& mainWindow = *this->mainWindow;
    mainWindow.start();
    QCoreApplication::processEvents();
    EXPECT_TRUE(alerts.panels.empty()) << "a device is listed: no NoGPS panel";
    EXPECT_TRUE(mainWindow.monitorDrawer().isOpen());
    EXPECT_TRUE(mainWindow.satelliteDrawer().isOpen());
    EXPECT_TRUE(mainWindow.splashDrawer().isOpen());
    EXPECT_FALSE(mainWindow.settingsDrawer().isOpen());

    // The read-outs keep their proportions; the panes around them take what they need.
    QMainWindow* window = mainWindow.window().widget();
    QWidget* content = window->centralWidget();
    const QSize minimum = content->minimumSize();
    ASSERT_EQ(content->width(), minimum.width()) << "first start: the smallest window";
    // With its first panes open (a pane on each side and one below) the window can still be
    // made as small as a corner of a laptop's screen: the panes scroll.
    EXPECT_LE(window->minimumWidth(), 660);
    EXPECT_LE(window->minimumHeight(), 420);
    QtTextField& latitude = mainWindow.readoutField(MainWindow::Latitude);
    const qreal fontBefore = latitude.font().pointSizeF();
    const QSize around = window->size() - content->size();
    window->resize(minimum.width() * 3 / 2 + around.width(), window->height());  // wider only
    QCoreApplication::processEvents();
    EXPECT_EQ(content->width(), minimum.width() * 3 / 2);
    EXPECT_NEAR(content->height(), minimum.height() * 1.5, 1.0);
    EXPECT_GT(latitude.font().pointSizeF(), fontBefore * 1.2) << "the read-out text grows";
}

namespace {

// Every text a user can see in the window, its menus and panes.
std::vector<QString> visibleTexts(QMainWindow* window)
{
    std::vector<QString> texts;
    auto add = [&](const QString& text) {
        QString plain = text;
        plain.remove(u'&');
        if (!plain.trimmed().isEmpty()) texts.push_back(plain);
    };
    add(window->windowTitle());
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        add(widget->toolTip());
        if (auto* label = qobject_cast<QLabel*>(widget)) add(label->text());
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) add(button->text());
        if (auto* dock = qobject_cast<QDockWidget*>(widget)) add(dock->windowTitle());
        if (auto* menu = qobject_cast<QMenu*>(widget)) add(menu->title());
    }
    for (QAction* action : window->findChildren<QAction*>()) {
        add(action->text());
        if (action->toolTip() != action->text()) add(action->toolTip());
    }
    return texts;
}

std::map<std::string, std::string> table(const std::string& language)
{
    std::ifstream file(std::string(GPSDESK_SOURCE_DIR) + "/resources/strings/" + language + ".json");
    const nlohmann::json parsed = nlohmann::json::parse(file);
    std::map<std::string, std::string> entries;
    for (auto entry = parsed.begin(); entry != parsed.end(); ++entry)
        entries[entry.key()] = entry.value().get<std::string>();
    return entries;
}

// The receiver's own configuration key names (alone or before a text of the tables) and the
// satellite systems' proper names read the same in every language.
bool untranslated(const QString& text, const std::set<QString>& known)
{
    static const QRegularExpression receiverKey(QStringLiteral("^CFG-[A-Z0-9_-]+(?: \u2014 (.*))?$"));
    const QRegularExpressionMatch match = receiverKey.match(text);
    if (match.hasMatch()) return match.captured(1).isEmpty() || known.count(match.captured(1)) > 0;
    static const std::set<QString> systems{"GPS", "SBAS", "Galileo", "BeiDou", "QZSS", "GLONASS", "NavIC"};
    return systems.count(text) > 0;
}

}  // namespace

TEST_F(MainWindowTest, EveryVisibleTextComesFromBothTables)
{
    const auto english = table("en");
    const auto german = table("de");
    for (const char* language : {"en", "de"}) {
        SCOPED_TRACE(language);
        const auto& own = std::string(language) == "en" ? english : german;
        std::set<QString> known;  // own texts whose key is in both tables
        for (const auto& [key, value] : own) {
            if (!english.count(key) || !german.count(key)) continue;
            known.insert(QString::fromStdString(value).remove(u'&'));
        }
        platform::posix::StringsBundle texts(std::string(GPSDESK_SOURCE_DIR) + "/resources", {language});
        platform::services().bundle = &texts;
        remake();
        mainWindow->start();
        QCoreApplication::processEvents();
        for (const QString& text : visibleTexts(mainWindow->window().widget())) {
            EXPECT_TRUE(known.count(text) || untranslated(text, known)) << "not from the tables: \"" << text.toStdString() << "\"";
        }
        mainWindow.reset();
        platform::services().bundle = nullptr;
    }
}

