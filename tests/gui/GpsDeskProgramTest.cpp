// The gpsdesk program as a user or a script starts it.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QDir>
#include <csignal>
#include <cstring>
#include <sys/ioctl.h>

#include "GuiTestApp.h"
#include "fakes/PseudoTerminal.h"
#include "platform/qt/ProgramOptions.h"

using qtplatform::ProgramOptions;

namespace {

QProcess* startProgram(const QStringList& arguments, const QString& home)
{
    auto* process = new QProcess();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // Preferences go to a private folder, never the developer's own.
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home);
    process->setProcessEnvironment(environment);
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(QStringLiteral(GPSDESK_BINARY), arguments);
    return process;
}

}  // namespace

TEST(GpsDeskProgramTest, ScreenshotOfTheWindowIsWrittenAndTheProgramEndsCleanly)
{
    guiTestApp();
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QString picture = home.filePath(QStringLiteral("out.png"));
    std::unique_ptr<QProcess> process(startProgram(
        {"--screenshot", picture, "--quit-after", "3", "--port", "/dev/null"}, home.path()));
    ASSERT_TRUE(process->waitForStarted(10000));
    ASSERT_TRUE(process->waitForFinished(30000)) << "gpsdesk did not end after --quit-after 3";
    EXPECT_EQ(process->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process->exitCode(), 0);
    const QImage image(picture);
    ASSERT_FALSE(image.isNull()) << "no PNG at " << picture.toStdString();
    // The window alone is under 500 points wide; the picture also holds the drawers on its
    // left, right, top and bottom edges.
    EXPECT_GE(image.width(), 1000);
    EXPECT_GE(image.height(), 450);
}

TEST(GpsDeskProgramTest, TermSignalEndsTheProgramNormally)
{
    guiTestApp();
    QTemporaryDir home;
    const QString picture = home.filePath(QStringLiteral("term.png"));
    std::unique_ptr<QProcess> process(
        startProgram({"--screenshot", picture, "--port", "/dev/null"}, home.path()));
    ASSERT_TRUE(process->waitForStarted(10000));
    // Give the program time to set up its handlers and show the window.
    process->waitForFinished(1500);
    ASSERT_EQ(process->state(), QProcess::Running);
    ::kill(static_cast<pid_t>(process->processId()), SIGTERM);
    ASSERT_TRUE(process->waitForFinished(20000));
    EXPECT_EQ(process->exitStatus(), QProcess::NormalExit) << "killed by the signal";
    EXPECT_EQ(process->exitCode(), 0);
    // The picture is written, and the settings saved, on the normal way out only.
    EXPECT_FALSE(QImage(picture).isNull());
    QFile stored(home.filePath(QStringLiteral("gpsdesk/preferences.json")));
    ASSERT_TRUE(stored.open(QIODevice::ReadOnly)) << "settings were not saved on SIGTERM";
    const QJsonObject values = QJsonDocument::fromJson(stored.readAll()).object();
    EXPECT_EQ(values.value(QStringLiteral("units")).toInt(-1), 0);
}

TEST(GpsDeskProgramTest, EndingSignalsClearThePortsExclusiveMark)
{
    guiTestApp();
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        testpty::PseudoTerminal pty;
        ASSERT_TRUE(pty.ok());
        const int held = pty.holdSlave();
        ASSERT_GE(held, 0);
        QTemporaryDir home;
        QDir().mkpath(home.filePath(QStringLiteral("gpsdesk")));
        QFile preferences(home.filePath(QStringLiteral("gpsdesk/preferences.json")));
        ASSERT_TRUE(preferences.open(QIODevice::WriteOnly));
        preferences.write(QJsonDocument(QJsonObject{
                              {"serialPort", QString::fromStdString(pty.slavePath())},
                              {"rate", "4800"}}).toJson());
        preferences.close();
        std::unique_ptr<QProcess> process(startProgram(
            {"--port", QString::fromStdString(pty.slavePath())}, home.path()));
        ASSERT_TRUE(process->waitForStarted(10000));
        const auto exclusive = [&] {
            int on = 0;
            return ::ioctl(held, TIOCGEXCL, &on) == 0 && on != 0;
        };
        for (int i = 0; i < 100 && !exclusive(); ++i) process->waitForFinished(100);
        ASSERT_TRUE(exclusive()) << "gpsdesk never took the port";
        ::kill(static_cast<pid_t>(process->processId()), signal);
        ASSERT_TRUE(process->waitForFinished(20000));
        EXPECT_EQ(process->exitStatus(), QProcess::NormalExit);
        EXPECT_FALSE(exclusive()) << "the mark outlived the program";
    }
}

TEST(GpsDeskProgramTest, HelpVersionAndBadCommandLines)
{
    guiTestApp();
    QTemporaryDir home;
    struct Case {
        QStringList arguments;
        int exitCode;
        const char* outputHas;
    } cases[] = {
        {{"--help"}, 0, "--screenshot FILE.png"},
        {{"--version"}, 0, "gpsdesk "},
        {{"--quit-after", "soon"}, 2, ""},
        {{"--frobnicate"}, 2, ""},
        {{"--port"}, 2, ""},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.arguments.join(' ').toStdString());
        std::unique_ptr<QProcess> process(startProgram(entry.arguments, home.path()));
        process->setProcessChannelMode(QProcess::SeparateChannels);
        ASSERT_TRUE(process->waitForFinished(10000));
        EXPECT_EQ(process->exitCode(), entry.exitCode);
        EXPECT_TRUE(process->readAllStandardOutput().contains(entry.outputHas));
    }
}

TEST(ProgramOptionsTest, ReadsRepeatedPortsAndBothValueForms)
{
    const auto options = ProgramOptions::parse(
        {"--port", "/dev/pts/3", "--port=/dev/ttyUSB0", "--quit-after=2.5", "--screenshot", "a.png",
         "--simulate"});
    ASSERT_EQ(options.error, "");
    EXPECT_EQ(options.ports, (std::vector<std::string>{"/dev/pts/3", "/dev/ttyUSB0"}));
    EXPECT_EQ(options.quitAfterSeconds, 2.5);
    EXPECT_EQ(options.screenshot, "a.png");
    EXPECT_TRUE(options.simulate);

    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"--quit-after", "-1"}, {"--quit-after", "3s"},
          {"--screenshot"}, {"--simulate=yes"}, {"--port="}, {"file.png"}}) {
        EXPECT_NE(ProgramOptions::parse(bad).error, "") << bad.front();
    }
}
