// The main window description: controls in place, drawers on their edges, one picture.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMainWindow>

#include "GuiTestApp.h"
#include "fakes/FakeServices.h"
#include "platform/Services.h"
#include "platform/posix/PosixClock.h"
#include "platform/posix/PosixSleeper.h"
#include "platform/qt/MainWindow.h"
#include "platform/qt/QtApplication.h"
#include "platform/qt/QtMainThread.h"
#include "platform/qt/QtScreenshot.h"
#include "core/Serial.h"

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
        Serial::clearExtraPorts();
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

private:
    std::unique_ptr<MainWindow> makeMainWindow()
    {
        Serial::addExtraPort("/dev/null");
        platform::services() = {.alerts = &alerts,
                                .application = &application,
                                .bundle = &bundle,
                                .clock = &clock,
                                .mainThread = &mainThread,
                                .preferences = &preferences,
                                .sleeper = &sleeper};
        return std::make_unique<MainWindow>(application);
    }
};

}  // namespace

TEST_F(MainWindowTest, DrawersHangOnFourEdgesAndThePictureHoldsThemAll)
{
    MainWindow& mainWindow = *this->mainWindow;
    QMainWindow* window = mainWindow.window().widget();
    mainWindow.awakeFromNib();
    for (QtDrawer* drawer : {&mainWindow.settingsDrawer(), &mainWindow.monitorDrawer(),
                             &mainWindow.satelliteDrawer(), &mainWindow.splashDrawer()}) {
        drawer->open();
    }
    QCoreApplication::processEvents();
    ASSERT_TRUE(window->isVisible());

    const QRect frame = window->frameGeometry();
    EXPECT_EQ(mainWindow.satelliteDrawer().panel()->geometry().left(), frame.right() + 1);
    EXPECT_EQ(mainWindow.splashDrawer().panel()->geometry().right(), frame.left() - 1);
    EXPECT_EQ(mainWindow.settingsDrawer().panel()->geometry().bottom(), frame.top() - 1);
    EXPECT_EQ(mainWindow.monitorDrawer().panel()->geometry().top(), frame.bottom() + 1);

    // Twelve signal columns of a 16-point label beside a 200-point plot, and D = H - 36.
    EXPECT_EQ(mainWindow.satelliteHost().height(), 236);
    EXPECT_GE(mainWindow.satelliteHost().width(), 200 + 30 + 12 * 18);
    EXPECT_EQ(mainWindow.compassHost().height(), 24);
    EXPECT_EQ(mainWindow.dataReadyHost().size(), QSize(20, 20));

    const auto windows = mainWindow.visibleWindows();
    EXPECT_EQ(windows.size(), 5u);
    QRect all;
    for (QWidget* shown : windows) all = all.united(shown->geometry());
    const QImage picture = composeWindows(windows, 0);
    EXPECT_EQ(picture.size(), all.size());
    if (const char* folder = std::getenv("GPSDESK_GUI_PICTURES"))
        composeWindows(windows).save(QString::fromUtf8(folder) + "/mainwindow-drawers.png");

    mainWindow.monitorDrawer().close();
    EXPECT_EQ(mainWindow.visibleWindows().size(), 4u);
}

TEST_F(MainWindowTest, ReadoutsFitTheirTextsAtTheFirstSize)
{
    MainWindow& mainWindow = *this->mainWindow;
    mainWindow.awakeFromNib();
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

TEST_F(MainWindowTest, StartsWithItsDrawersAndKeepsItsProportionsWithLargerTextWhenWidened)
{
    MainWindow& mainWindow = *this->mainWindow;
    mainWindow.awakeFromNib();
    QCoreApplication::processEvents();
    EXPECT_TRUE(alerts.panels.empty()) << "a device is listed: no NSNoGPS panel";
    EXPECT_TRUE(mainWindow.monitorDrawer().isOpen());
    EXPECT_TRUE(mainWindow.satelliteDrawer().isOpen());
    EXPECT_TRUE(mainWindow.splashDrawer().isOpen());

    QMainWindow* window = mainWindow.window().widget();
    const QSize minimum = window->minimumSize();
    QtTextField& latitude = mainWindow.readoutField(MainWindow::Latitude);
    const qreal fontBefore = latitude.font().pointSizeF();
    window->resize(minimum.width() * 3 / 2, minimum.height());  // dragged wider only
    QCoreApplication::processEvents();
    EXPECT_EQ(window->width(), minimum.width() * 3 / 2);
    EXPECT_NEAR(window->height(), minimum.height() * 1.5, 1.0);
    EXPECT_GT(latitude.font().pointSizeF(), fontBefore * 1.2) << "the read-out text grows";
    EXPECT_EQ(mainWindow.satelliteDrawer().panel()->geometry().left(),
              window->frameGeometry().right() + 1);
}
