// SPDX-License-Identifier: BSD-2-Clause
// gpsdesk: the desktop program. Makes the Qt application and the platform services, loads the
// main window description, wakes it, and runs the event loop until the application ends.
#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>
#include <QMainWindow>
#include <QVBoxLayout>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Services.h"
#include "posix/JsonPreferences.h"
#include "posix/PosixClock.h"
#include "posix/PosixSleeper.h"
#include "posix/PosixSystemInfo.h"
#include "posix/PosixWorkspace.h"
#include "posix/SpdSaySpeech.h"
#include "posix/StringsBundle.h"
#include "qt/DesktopTheme.h"
#include "headless/HeadlessMain.h"
#include "qt/MainWindow.h"
#include "qt/PreferencesOverlay.h"
#include "qt/ProgramStats.h"
#include "headless/ProgramOptions.h"
#include "qt/QtAlerts.h"
#include "qt/QtApplication.h"
#include "qt/QtMainThread.h"
#include "qt/QtScreen.h"
#include "qt/QtScreenshot.h"
#include "qt/QtSecretStore.h"
#include "qt/QtSpeech.h"
#include "qt/SignalQuitter.h"
#include "qt/ReplayControls.h"
#include "qt/StreamTaps.h"
#include "app/GPSController.h"
#include "stream/CorrectionsSettings.h"
#include "sources/SourceMessage.h"
#include "sources/NtripClient.h"
#include "app/CorrectionsController.h"
#include "platform/Alert.h"
#include "serial/PortDiscovery.h"
#include "serial/Serial.h"
#include "sim/Simulator.h"

using namespace qtplatform;

namespace {

// One panel, once, when the preferences file was put aside or cannot be used at all.
void tellAboutPreferences(const platform::posix::JsonPreferences& preferences)
{
    std::string text;
    if (const auto& setAside = preferences.setAsidePath())
        text = Alert::localizedStringWithKey("SettingsSetAside",
                                             {preferences.path().string(), setAside->string()});
    else if (const auto& reason = preferences.inMemoryReason())
        text = Alert::localizedStringWithKey("SettingsInMemory", {*reason});
    if (text.empty()) return;
    std::fprintf(stderr, "gpsdesk: %s\n", text.c_str());
    Alert::showMessage(text);
}

// Qt's translation for the first of our languages it has ("de_AT", "de" -> qtbase_de.qm),
// from Qt's own folder (Debian: qt6-translations-l10n). English needs none.
bool loadQtTranslation(QTranslator& translator, const std::vector<std::string>& languages)
{
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    for (const std::string& language : languages) {
        if (language == "en" || language.starts_with("en_")) return false;
        if (translator.load(QStringLiteral("qtbase_") + QString::fromStdString(language), folder))
            return true;
    }
    return false;
}

// The caster's password from the desktop's secret store, for headless: the store talks D-Bus
// through Qt, which needs an application object for its calls.
platform::SecretStore::Result readSecretThroughQt(const std::string& name)
{
    static int argc = 1;
    static char programName[] = "gpsdesk";
    static char* argv[] = {programName, nullptr};
    std::unique_ptr<QCoreApplication> qt;
    if (!QCoreApplication::instance()) qt = std::make_unique<QCoreApplication>(argc, argv);
    QtSecretStore store(5000);
    return store.read(name);
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string program = argc > 0 ? argv[0] : "gpsdesk";
    // Read before Qt starts, so --help and --version work without a display.
    const ProgramOptions options =
        ProgramOptions::parse(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
    if (const auto status = options.answeredAlone(program)) return *status;

    // A write past the file-size limit (ulimit -f) must fail with EFBIG, which the recorder
    // and the track log report, instead of ending the program. Set before any thread starts,
    // so every thread has it.
    std::signal(SIGXFSZ, SIG_IGN);
    if (options.headless) return runProgramHeadless(options, readSecretThroughQt);
    for (const std::string& port : options.ports) PortDiscovery::addExtraPort(port);
    std::unique_ptr<sim::Simulator> simulator;
    std::optional<std::string> simulatedPort;
    if (options.simulate || options.replayPath) {
        const auto started = startSimulatedReceiver(options, simulator);
        if (!started) return 1;
        simulatedPort = *started;
    }

    // Qt sees the program name only: every argument is ours, so "--port -reverse" names a
    // port and cannot mirror the layout or pick a platform plugin.
    static char fallbackName[] = "gpsdesk";
    int qtArgc = 1;
    char* qtArgv[] = {argc > 0 && argv[0] ? argv[0] : fallbackName, nullptr};
    QApplication qtApplication(qtArgc, qtArgv);
    QApplication::setApplicationName(QStringLiteral("gpsdesk"));
    QApplication::setApplicationDisplayName(QStringLiteral("GPS Desk"));
    QApplication::setApplicationVersion(QStringLiteral(GPSDESK_VERSION));
    // The desktop entry's name: Wayland compositors match the window to its icon and name by it.
    QApplication::setDesktopFileName(QStringLiteral("io.github.gpsdesk.GPSDesk"));

    DesktopTheme::follow(qtApplication);

    QtApplication application;
    QtMainThread mainThread;
    QtAlerts alerts;
    QtScreen screen;
    platform::posix::SpdSaySpeech spokenBySpdSay;
    QtSpeech speech(&spokenBySpdSay);
    platform::posix::PosixClock clock;
    platform::posix::PosixSleeper sleeper;
    platform::posix::PosixSystemInfo systemInfo;
    platform::posix::PosixWorkspace workspace;
    platform::posix::JsonPreferences userPreferences(
        platform::posix::JsonPreferences::defaultPath());
    platform::Preferences* preferences = &userPreferences;
    // With the simulated receiver, or a port named on the command line, the program connects
    // to it with no other step, as if the user had chosen it; the user's own choice stays in
    // the file untouched (a pseudo-terminal's name means nothing at the next start).
    std::unique_ptr<PreferencesOverlay> chosenPreferences;
    if (simulatedPort) {
        chosenPreferences = std::make_unique<PreferencesOverlay>(
            userPreferences,
            std::map<std::string, platform::PreferenceValue>{
                {"serialPort", *simulatedPort},
                {"rate", std::to_string(simulator->rate())}});
    }
    if (!chosenPreferences && !options.ports.empty()) {
        chosenPreferences = std::make_unique<PreferencesOverlay>(
            userPreferences,
            std::map<std::string, platform::PreferenceValue>{{"serialPort", options.ports.front()}});
    }
    if (chosenPreferences) preferences = chosenPreferences.get();
    // Chosen on the command line as if in the settings drawer (and kept like such a choice).
    if (options.rate) preferences->setObject("rate", *options.rate);
    const auto resources = platform::posix::StringsBundle::findResourcesFolder();
    platform::posix::StringsBundle bundle(resources.value_or(GPSDESK_RESOURCE_DIR));

    platform::Services& services = platform::services();
    services = {.alerts = &alerts,
                .application = &application,
                .bundle = &bundle,
                .clock = &clock,
                .mainThread = &mainThread,
                .preferences = preferences,
                .screen = &screen,
                .sleeper = &sleeper,
                .speech = &speech,
                .systemInfo = &systemInfo,
                .workspace = &workspace};
    const std::string resourceFolder = resources ? resources->string() : GPSDESK_RESOURCE_DIR;
    QApplication::setWindowIcon(
        QIcon(QString::fromStdString(resourceFolder + "/icon/gpsdesk.png")));
    if (const auto name = bundle.objectForInfoDictionaryKey("CFBundleName"))
        QApplication::setApplicationDisplayName(QString::fromStdString(*name));
    // Qt's own dialogs (file choosers, their buttons) speak the language our texts do.
    QTranslator qtTexts;
    if (loadQtTranslation(qtTexts, bundle.loadedLanguages()))
        QApplication::installTranslator(&qtTexts);

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
        application.addQuitHook([&] {
            mainThread.quit();
            sleeper.wake();
        });

        SignalQuitter quitter([&] { application.terminate(); });
        // Set before the wake-ups: a panel shown during start-up (no serial device) must not
        // hold the program past its time.
        if (options.quitAfterSeconds) {
            const double milliseconds = std::min(*options.quitAfterSeconds * 1000.0, 2.0e9);
            QTimer::singleShot(static_cast<int>(milliseconds), &application,
                               [&] { application.terminate(); });
        }
        // A network receiver instead of the serial port (the preferences may name one too).
        if (options.source) mainWindow.gpsController().setSource(*options.source);
        // Corrections named on the command line, the password from the environment or the
        // secret store; the stored choice is left as it is.
        if (options.ntrip) {
            if (auto password = takeNtripPasswordFromEnvironment())
                mainWindow.correctionsController().setGivenPassword(std::move(*password));
            CorrectionsSettings settings = CorrectionsSettings::load(*preferences);
            settings.casterUrl = *options.ntrip;
            SourceMessage whyNot;
            if (!mainWindow.correctionsController().start(settings, whyNot))
                std::fprintf(stderr, "gpsdesk: --ntrip: %s\n", whyNot.text().c_str());
        }
        StreamTaps taps(mainWindow.gpsController(), mainThread);
        mainWindow.gpsController().setLineTap(&taps);
        taps.attachTo(mainWindow);
        if (options.replayPath) {
            QtDrawer& pane = mainWindow.addPane({"replayControls", "pane.replayControls",
                                                 "menu.replayControls", QtDrawer::Edge::Bottom,
                                                 QKeySequence(), nullptr});
            auto* layout = new QVBoxLayout(pane.contentView());
            layout->addWidget(new ReplayControls(*simulator, pane.contentView()));
            pane.open();
        }
        std::string failure;
        if (options.share) {
            const auto endpoint = *NmeaShare::parseEndpoint(*options.share);
            NmeaShare::Options share;
            share.address = endpoint.first;
            share.port = endpoint.second;
            share.ptyLink = NmeaShare::defaultPtyLink();
            if (!taps.startSharing(share, failure)) {
                std::fprintf(stderr, "gpsdesk: cannot share: %s\n", failure.c_str());
                exitCode = 1;
            }
        }
        if (options.recordPath && exitCode == 0) {
            const auto text = [&](const char* key) {
                const auto value = preferences->objectForKey(key);
                const auto* string = value ? std::get_if<std::string>(&*value) : nullptr;
                return string ? *string : std::string("?");
            };
            if (!taps.startRecording(*options.recordPath, text("serialPort"), text("rate"), failure)) {
                std::fprintf(stderr, "gpsdesk: cannot record: %s\n", failure.c_str());
                exitCode = 1;
            }
        }
        if (exitCode == 0) {
            mainWindow.start();
            // Once the loop runs, over the window: what became of the preferences file.
            QTimer::singleShot(0, &application, [&] { tellAboutPreferences(userPreferences); });
        }
        if (options.replayPath)
            mainWindow.window().widget()->setWindowTitle(
                QApplication::applicationDisplayName() + QStringLiteral(" \u2014 ")
                + QString::fromStdString(Alert::localizedStringWithKey("Replay")) + QStringLiteral(": ")
                + QString::fromStdString(*options.replayPath));
        const auto stats = ProgramStats::fromEnvironment(
            [&] { return mainWindow.gpsController().linesPresented(); },
            [&] { return mainWindow.gpsController().droppedUpdates(); });
        if (exitCode == 0 && !application.isTerminating()) qtApplication.exec();
        if (stats) stats->print();
        mainThread.quit();
        sleeper.wake();
        // The reader thread feeds the taps: it ends before they do.
        mainWindow.gpsController().shutdown();
        taps.stopRecording();
        // A recording that ended by itself lost what came after: a script must see that.
        if (taps.recordingFailed()) exitCode = 1;
    }
    services = platform::Services{};
    return exitCode;
}
