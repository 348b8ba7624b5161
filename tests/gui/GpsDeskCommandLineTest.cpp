// SPDX-License-Identifier: BSD-2-Clause
// The gpsdesk program as a script runs it: headless, replaying and recording, and what it
// makes of its command line.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <csignal>
#include <cstring>
#include <sys/resource.h>

#include "GuiTestApp.h"
#include "ProgramProcess.h"
#include "headless/ProgramOptions.h"

using programtest::signalAfterStart;
using programtest::startProgram;
using qtplatform::ProgramOptions;

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
