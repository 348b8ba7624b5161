// SPDX-License-Identifier: BSD-2-Clause
// The gpsdesk program as a user or a script starts it.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonDocument>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QDir>
#include <csignal>
#include <cstring>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include "GuiTestApp.h"
#include "fakes/PseudoTerminal.h"
#include "headless/ProgramOptions.h"

using qtplatform::ProgramOptions;

namespace {

QProcess* startProgram(const QStringList& arguments, const QString& home,
                       QProcess::ProcessChannelMode channels = QProcess::ForwardedErrorChannel)
{
    auto* process = new QProcess();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // Preferences go to a private folder, never the developer's own.
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home);
    process->setProcessEnvironment(environment);
    process->setProcessChannelMode(channels);
    process->start(QStringLiteral(GPSDESK_BINARY), arguments);
    return process;
}

// Starts the program, lets it set up its handlers and show the window, and sends the signal.
std::unique_ptr<QProcess> signalAfterStart(const QStringList& arguments, const QString& home,
                                           int signal)
{
    std::unique_ptr<QProcess> process(
        startProgram(arguments, home, QProcess::SeparateChannels));
    if (!process->waitForStarted(10000)) return process;
    process->waitForFinished(1500);
    if (process->state() == QProcess::Running)
        ::kill(static_cast<pid_t>(process->processId()), signal);
    process->waitForFinished(20000);
    return process;
}

QJsonObject storedPreferences(const QTemporaryDir& home)
{
    QFile stored(home.filePath(QStringLiteral("gpsdesk/preferences.json")));
    if (!stored.open(QIODevice::ReadOnly)) return {};
    return QJsonDocument::fromJson(stored.readAll()).object();
}

// Share of pixels that differ between two pictures of the same size (1 when the sizes differ).
double differingShare(const QImage& a, const QImage& b)
{
    if (a.size() != b.size() || a.isNull()) return 1.0;
    long differing = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y)) ++differing;
    return static_cast<double>(differing) / (static_cast<double>(a.width()) * a.height());
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
    // left, right, top and bottom edges, all within the offscreen screen's 800 points.
    EXPECT_GE(image.width(), 780);
    EXPECT_LE(image.width(), 800 + 2 * 16);
    EXPECT_GE(image.height(), 400);
}

TEST(GpsDeskProgramTest, QuitSignalsEndTheProgramNormallyAndSave)
{
    guiTestApp();
    for (const int signal : {SIGTERM, SIGHUP, SIGQUIT}) {
        SCOPED_TRACE(strsignal(signal));
        QTemporaryDir home;
        const QString picture = home.filePath(QStringLiteral("signal.png"));
        const auto process =
            signalAfterStart({"--screenshot", picture, "--port", "/dev/null"}, home.path(), signal);
        ASSERT_EQ(process->state(), QProcess::NotRunning);
        EXPECT_EQ(process->exitStatus(), QProcess::NormalExit) << "killed by the signal";
        EXPECT_EQ(process->exitCode(), 0);
        // The picture is written, and the settings saved, on the normal way out only.
        EXPECT_FALSE(QImage(picture).isNull());
        EXPECT_EQ(storedPreferences(home).value(QStringLiteral("units")).toInt(-1), 0)
            << "settings were not saved";
    }
}

// Without a window and with the simulated receiver's thread running (simulated or replayed),
// an ending signal still ends the program the normal way, as it does with a port.
TEST(GpsDeskProgramTest, HeadlessWithTheSimulatedReceiverEndsNormallyOnSignals)
{
    guiTestApp();
    QTemporaryDir home;
    const QString log = home.filePath(QStringLiteral("short.nmea"));
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n");
    file.close();
    struct Case {
        QStringList arguments;
        int signal;
    };
    const Case cases[] = {
        {{"--headless", "--simulate"}, SIGTERM}, {{"--headless", "--simulate"}, SIGINT},
        {{"--headless", "--simulate"}, SIGHUP},  {{"--headless", "--simulate"}, SIGQUIT},
        {{"--headless", "--replay", log}, SIGTERM},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString() + " " + strsignal(c.signal));
        const auto process = signalAfterStart(c.arguments, home.path(), c.signal);
        ASSERT_EQ(process->state(), QProcess::NotRunning);
        EXPECT_EQ(process->exitStatus(), QProcess::NormalExit) << "killed by the signal";
        EXPECT_EQ(process->exitCode(), 0);
    }
}

// A recording that stops by itself (here a file size limit stands in for a full disk) is
// told on standard error, and the exit status says data was lost: a monitor line that
// scrolls away is not enough for whoever ran the program with --quit-after.
TEST(GpsDeskProgramTest, ARecordingCutShortByAFullDiskFailsTheRun)
{
    guiTestApp();
    QTemporaryDir home;
    const QString log = home.filePath(QStringLiteral("fast.nmea"));
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const QByteArray rmc = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n";
    for (int i = 0; i < 20000; ++i) file.write(rmc);
    file.close();
    // The program starts with the limit's signal at its default: the program itself must
    // ignore it, so that a write past the limit fails as one on a full disk does instead of
    // killing it. Both faces: the window and headless.
    for (const bool headless : {false, true}) {
        SCOPED_TRACE(headless ? "headless" : "window");
        const QString recording = home.filePath(headless ? QStringLiteral("headless.nmea") : QStringLiteral("recording.nmea"));
        auto* process = new QProcess();
        std::unique_ptr<QProcess> owner(process);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
        environment.insert(QStringLiteral("LANGUAGE"), QStringLiteral("en"));
        process->setProcessEnvironment(environment);
        process->setChildProcessModifier([] {
            ::signal(SIGXFSZ, SIG_DFL);
            const rlimit limit{64 * 1024, 64 * 1024};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        });
        QStringList arguments;
        if (headless) arguments << QStringLiteral("--headless");
        arguments << QStringLiteral("--replay") << log << QStringLiteral("--speed") << QStringLiteral("max")
                  << QStringLiteral("--record") << recording << QStringLiteral("--quit-after") << QStringLiteral("8");
        process->start(QStringLiteral(GPSDESK_BINARY), arguments);
        ASSERT_TRUE(process->waitForFinished(60000));
        EXPECT_EQ(process->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process->exitCode(), 1);
        const QByteArray told = process->readAllStandardError();
        EXPECT_TRUE(told.contains("Recording stopped") && told.contains(recording.toUtf8())) << told.toStdString();
        EXPECT_GT(QFileInfo(recording).size(), 0);
    }
}

// The picture is a file the user names: a link planted at the name is not written through,
// and the run says it could not write the picture.
TEST(GpsDeskProgramTest, AScreenshotIsNotWrittenThroughAPlantedLink)
{
    guiTestApp();
    QTemporaryDir home;
    const QString victim = home.filePath(QStringLiteral("victim.conf"));
    QFile file(victim);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("precious\n");
    file.close();
    const QString link = home.filePath(QStringLiteral("shot.png"));
    ASSERT_TRUE(QFile::link(victim, link));
    std::unique_ptr<QProcess> process(startProgram(
        {"--port", "/dev/null", "--screenshot", link, "--quit-after", "1"}, home.path(),
        QProcess::SeparateChannels));
    ASSERT_TRUE(process->waitForFinished(30000));
    EXPECT_EQ(process->exitCode(), 1);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("precious\n"));
}

// Sharing on every interface lets other computers read the receiver: said on standard
// error, not done without a word. On loopback nothing is said.
TEST(GpsDeskProgramTest, SharingBeyondThisComputerIsToldOnStandardError)
{
    guiTestApp();
    QTemporaryDir home;
    const QString port = QString::number(40000 + ::getpid() % 20000 + 7);
    struct Case {
        QString endpoint;
        bool told;
    };
    for (const Case& c : {Case{QStringLiteral("0.0.0.0:") + port, true}, Case{port, false}}) {
        SCOPED_TRACE(c.endpoint.toStdString());
        std::unique_ptr<QProcess> process(startProgram(
            {"--port", "/dev/null", "--share", c.endpoint, "--quit-after", "1"}, home.path(),
            QProcess::SeparateChannels));
        ASSERT_TRUE(process->waitForFinished(30000));
        EXPECT_EQ(process->exitCode(), 0);
        const QByteArray told = process->readAllStandardError();
        EXPECT_EQ(told.contains("other computers on the network can read the receiver"), c.told)
            << told.toStdString();
    }
}

TEST(GpsDeskProgramTest, AHangUpIgnoredAtStartStaysIgnored)
{
    guiTestApp();
    QTemporaryDir home;
    // As nohup starts a program.
    const auto previous = ::signal(SIGHUP, SIG_IGN);
    std::unique_ptr<QProcess> process(startProgram({"--port", "/dev/null"}, home.path()));
    const bool started = process->waitForStarted(10000);
    ::signal(SIGHUP, previous);
    ASSERT_TRUE(started);
    process->waitForFinished(1500);
    ASSERT_EQ(process->state(), QProcess::Running);
    ::kill(static_cast<pid_t>(process->processId()), SIGHUP);
    EXPECT_FALSE(process->waitForFinished(1000)) << "ended by an ignored hang-up";
    ::kill(static_cast<pid_t>(process->processId()), SIGTERM);
    ASSERT_TRUE(process->waitForFinished(20000));
    EXPECT_EQ(process->exitCode(), 0);
}

TEST(GpsDeskProgramTest, AFailedSaveIsToldOnStandardError)
{
    guiTestApp();
    QTemporaryDir home;
    // Created while the program runs, so only the save at the end meets it.
    const QString blocker = home.filePath(QStringLiteral("gpsdesk"));
    std::unique_ptr<QProcess> process(
        startProgram({"--port", "/dev/null"}, home.path(), QProcess::SeparateChannels));
    ASSERT_TRUE(process->waitForStarted(10000));
    process->waitForFinished(1500);
    ASSERT_EQ(process->state(), QProcess::Running);
    QFile file(blocker);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    ::kill(static_cast<pid_t>(process->processId()), SIGTERM);
    ASSERT_TRUE(process->waitForFinished(20000));
    EXPECT_EQ(process->exitCode(), 0);
    const QByteArray told = process->readAllStandardError();
    EXPECT_TRUE(told.contains("The settings could not be saved") &&
                told.contains(blocker.toUtf8()))
        << told.toStdString();
}

TEST(GpsDeskProgramTest, AFifoInPlaceOfThePreferencesIsPutAsideAndToldOnce)
{
    guiTestApp();
    QTemporaryDir home;
    ASSERT_TRUE(QDir(home.path()).mkdir(QStringLiteral("gpsdesk")));
    const QString fifo = home.filePath(QStringLiteral("gpsdesk/preferences.json"));
    ASSERT_EQ(::mkfifo(fifo.toUtf8().constData(), 0600), 0);
    std::unique_ptr<QProcess> process(startProgram({"--port", "/dev/null", "--quit-after", "2"},
                                                   home.path(), QProcess::SeparateChannels));
    ASSERT_TRUE(process->waitForStarted(10000));
    if (!process->waitForFinished(20000)) {
        process->kill();
        process->waitForFinished();
        FAIL() << "the start blocked on the FIFO";
    }
    EXPECT_EQ(process->exitCode(), 0);
    const QString told = QString::fromUtf8(process->readAllStandardError());
    EXPECT_EQ(told.count(QStringLiteral("was put aside as")), 1) << told.toStdString();
    EXPECT_TRUE(told.contains(fifo + QStringLiteral(".corrupt")));
    EXPECT_EQ(storedPreferences(home).value(QStringLiteral("units")).toInt(-1), 0);
}

TEST(GpsDeskProgramTest, ArgumentsThatLookLikeQtOptionsAreOurs)
{
    guiTestApp();
    QTemporaryDir home;
    // Qt would take "--quit-after" as the name of a platform plugin and abort.
    std::unique_ptr<QProcess> process(
        startProgram({"--port", "-platform", "--quit-after", "1"}, home.path()));
    ASSERT_TRUE(process->waitForFinished(20000));
    EXPECT_EQ(process->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process->exitCode(), 0);

    // "-reverse" would mirror the whole layout; as a port name it changes a few glyphs at most.
    QImage pictures[2];
    const char* const ports[2] = {"-reverse", "-xeverse"};
    for (int i = 0; i < 2; ++i) {
        const QString picture = home.filePath(QStringLiteral("port%1.png").arg(i));
        std::unique_ptr<QProcess> run(startProgram(
            {"--port", ports[i], "--screenshot", picture, "--quit-after", "1"},
            home.filePath(QStringLiteral("config%1").arg(i))));
        ASSERT_TRUE(run->waitForFinished(20000));
        EXPECT_EQ(run->exitCode(), 0) << ports[i];
        pictures[i] = QImage(picture);
        ASSERT_FALSE(pictures[i].isNull()) << ports[i];
    }
    EXPECT_LT(differingShare(pictures[0], pictures[1]), 0.01);
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

TEST(GpsDeskProgramTest, APortOnTheCommandLineIsConnectedOnAFreshProfile)
{
    guiTestApp();
    testpty::PseudoTerminal pty;
    ASSERT_TRUE(pty.ok());
    const int held = pty.holdSlave();
    ASSERT_GE(held, 0);
    QTemporaryDir home;  // no preferences at all: nothing chosen before
    std::unique_ptr<QProcess> process(startProgram(
        {"--port", QString::fromStdString(pty.slavePath()), "--quit-after", "6"}, home.path()));
    ASSERT_TRUE(process->waitForStarted(10000));
    const auto exclusive = [&] {
        int on = 0;
        return ::ioctl(held, TIOCGEXCL, &on) == 0 && on != 0;
    };
    for (int i = 0; i < 50 && !exclusive(); ++i) process->waitForFinished(100);
    EXPECT_TRUE(exclusive()) << "the port given was never opened";
    ASSERT_TRUE(process->waitForFinished(20000));
    EXPECT_EQ(process->exitCode(), 0);
    // The user's stored port is not replaced by a name given for one run.
    EXPECT_FALSE(storedPreferences(home).contains(QStringLiteral("serialPort")) &&
                 storedPreferences(home).value(QStringLiteral("serialPort")).toString() ==
                     QString::fromStdString(pty.slavePath()));
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
    EXPECT_EQ(ProgramOptions::parse({"--rate", "auto"}).rate, "Automatic");
    EXPECT_EQ(ProgramOptions::parse({"--rate=115200"}).rate, "115200");

    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"--quit-after", "-1"}, {"--quit-after", "3s"}, {"--rate", "2400"},
          {"--rate", "Automatic"},
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
    bool test = false;
    for (const QByteArray& line : process->readAllStandardOutput().split('\n')) {
        if (line.isEmpty()) continue;
        const QJsonObject report = QJsonDocument::fromJson(line).object();
        ASSERT_FALSE(report.isEmpty()) << "not one JSON object: " << line.toStdString();
        if (report["class"] == "TPV" && report["mode"] == 3 && report.contains("lat"))
            tpv3 = true;
        if (report["class"] == "SKY" && !report["satellites"].toArray().isEmpty()) sky = true;
        if (report["class"] == "TEST" && report["points"].toInt() > 0 && report["cep95"].isDouble() &&
            report["ttff3d"].isDouble() && report["ttff3d"].toDouble() >= report["ttff2d"].toDouble())
            test = true;
    }
    EXPECT_TRUE(tpv3) << "no 3D fix reported from the simulated receiver";
    EXPECT_TRUE(sky) << "no satellites reported";
    EXPECT_TRUE(test) << "no receiver test figures with a fix";

    std::unique_ptr<QProcess> missing(startProgram(
        {"--headless", "--port", home.filePath("no-such-device"), "--quit-after", "5"},
        home.path()));
    missing->setProcessChannelMode(QProcess::SeparateChannels);
    ASSERT_TRUE(missing->waitForFinished(30000));
    EXPECT_EQ(missing->exitCode(), 1);
    EXPECT_TRUE(missing->readAllStandardOutput().isEmpty());
}

// A replay in headless ends with its file, and records as the window does: every line of the
// log is in the recording, one TPV per epoch came out, and the exit status is 0.
TEST(GpsDeskProgramTest, HeadlessReplayEndsAtTheEndOfTheFileAndRecordsEveryLine)
{
    guiTestApp();
    QTemporaryDir home;
    const QString log = home.filePath(QStringLiteral("drive.nmea"));
    QStringList sentences;
    {
        QFile file(log);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        for (int second = 0; second < 30; ++second) {
            const QByteArray body = QStringLiteral("GPRMC,1200%1.00,A,4807.038,N,01131.000,E,0.5,54.7,081226,,,A")
                                        .arg(second, 2, 10, QLatin1Char('0')).toLatin1();
            unsigned sum = 0;
            for (const char c : body) sum ^= static_cast<unsigned char>(c);
            const QString sentence = QStringLiteral("$%1*%2").arg(QString::fromLatin1(body))
                                         .arg(QStringLiteral("%1").arg(sum, 2, 16, QLatin1Char('0')).toUpper());
            sentences << sentence;
            file.write(sentence.toLatin1() + "\r\n");
        }
    }
    const QString recording = home.filePath(QStringLiteral("again.nmea"));
    std::unique_ptr<QProcess> process(startProgram(
        {"--headless", "--replay", log, "--speed", "max", "--record", recording}, home.path(),
        QProcess::SeparateChannels));
    ASSERT_TRUE(process->waitForFinished(60000)) << "the replay did not end with its file";
    EXPECT_EQ(process->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process->exitCode(), 0) << process->readAllStandardError().toStdString();
    int tpv = 0;
    for (const QByteArray& line : process->readAllStandardOutput().split('\n'))
        if (QJsonDocument::fromJson(line).object()["class"] == "TPV") ++tpv;
    EXPECT_EQ(tpv, 30);
    QFile recorded(recording);
    ASSERT_TRUE(recorded.open(QIODevice::ReadOnly));
    const QString text = QString::fromLatin1(recorded.readAll());
    for (const QString& sentence : sentences) EXPECT_TRUE(text.contains(sentence)) << sentence.toStdString();
}
