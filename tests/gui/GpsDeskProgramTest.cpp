// The gpsdesk program as a user or a script starts it.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <csignal>

#include "GuiTestApp.h"
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

TEST(GpsDeskProgramTest, HeadlessWritesGpsdStyleReportsAndSaysWhenThePortCannotBeUsed)
{
    guiTestApp();
    QTemporaryDir home;
    std::unique_ptr<QProcess> process(
        startProgram({"--headless", "--simulate", "--quit-after", "8"}, home.path()));
    ASSERT_TRUE(process->waitForFinished(30000));
    EXPECT_EQ(process->exitCode(), 0);
    bool tpv3 = false;
    bool sky = false;
    for (const QByteArray& line : process->readAllStandardOutput().split('\n')) {
        if (line.isEmpty()) continue;
        const QJsonObject report = QJsonDocument::fromJson(line).object();
        ASSERT_FALSE(report.isEmpty()) << "not one JSON object: " << line.toStdString();
        if (report["class"] == "TPV" && report["mode"] == 3 && report.contains("lat"))
            tpv3 = true;
        if (report["class"] == "SKY" && !report["satellites"].toArray().isEmpty()) sky = true;
    }
    EXPECT_TRUE(tpv3) << "no 3D fix reported from the simulated receiver";
    EXPECT_TRUE(sky) << "no satellites reported";

    std::unique_ptr<QProcess> missing(startProgram(
        {"--headless", "--port", home.filePath("no-such-device"), "--quit-after", "5"},
        home.path()));
    missing->setProcessChannelMode(QProcess::SeparateChannels);
    ASSERT_TRUE(missing->waitForFinished(30000));
    EXPECT_EQ(missing->exitCode(), 1);
    EXPECT_TRUE(missing->readAllStandardOutput().isEmpty());
}
