// gpsdesk: the desktop program. Makes the Qt application and the platform services, loads the
// main window description, wakes it, and runs the event loop until the application ends.
#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/Services.h"
#include "platform/qt/MainWindow.h"
#include "platform/qt/ProgramOptions.h"
#include "platform/qt/QtAlerts.h"
#include "platform/qt/QtApplication.h"
#include "platform/qt/QtMainThread.h"
#include "platform/qt/QtScreen.h"
#include "platform/qt/QtScreenshot.h"
#include "platform/qt/QtSpeech.h"
#include "platform/qt/SignalQuitter.h"

using namespace qtplatform;

int main(int argc, char** argv)
{
    const std::string program = argc > 0 ? argv[0] : "gpsdesk";
    // Read before Qt starts, so --help and --version work without a display.
    const ProgramOptions options =
        ProgramOptions::parse(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
    if (!options.error.empty()) {
        std::fprintf(stderr, "gpsdesk: %s\n%s", options.error.c_str(),
                     ProgramOptions::usage(program).c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(ProgramOptions::usage(program).c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("gpsdesk %s\n", GPSDESK_VERSION);
        return 0;
    }
    if (options.simulate) {
        std::fputs("gpsdesk: this build has no simulated receiver\n", stderr);
        return 2;
    }

    QApplication qtApplication(argc, argv);
    QApplication::setApplicationName(QStringLiteral("gpsdesk"));
    QApplication::setApplicationDisplayName(QStringLiteral("GPS Desk"));
    QApplication::setApplicationVersion(QStringLiteral(GPSDESK_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("gpsdesk"));

    QtApplication application;
    QtMainThread mainThread;
    QtAlerts alerts;
    QtScreen screen;
    QtSpeech speech;

    platform::Services& services = platform::services();
    services.application = &application;
    services.mainThread = &mainThread;
    services.alerts = &alerts;
    services.screen = &screen;
    services.speech = &speech;

    int exitCode = 0;
    {
        MainWindow mainWindow(application);
        if (options.screenshot) {
            // The picture shows the state at the end, before anything is taken down.
            application.addQuitHook([&] {
                if (!writeScreenshot(mainWindow.visibleWindows(),
                                     QString::fromStdString(*options.screenshot))) {
                    std::fprintf(stderr, "gpsdesk: cannot write %s\n", options.screenshot->c_str());
                    exitCode = 1;
                }
            });
        }
        // A thread still waiting for the main thread must not wait for a loop that has ended.
        application.addQuitHook([&] { mainThread.quit(); });

        SignalQuitter quitter([&] { application.terminate(); });
        mainWindow.awakeFromNib();
        if (options.quitAfterSeconds) {
            QTimer::singleShot(static_cast<int>(*options.quitAfterSeconds * 1000.0), &application,
                               [&] { application.terminate(); });
        }
        if (!application.isTerminating()) qtApplication.exec();
        mainThread.quit();
    }
    services = platform::Services{};
    return exitCode;
}
