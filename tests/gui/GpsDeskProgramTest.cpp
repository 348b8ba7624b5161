// SPDX-License-Identifier: BSD-2-Clause
// The gpsdesk program as a user starts it with its window: screenshots, signals, saved
// preferences and the port it is given.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <cstring>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "GuiTestApp.h"
#include "ProgramProcess.h"
#include "fakes/PseudoTerminal.h"

using programtest::signalAfterStart;
using programtest::startProgram;

namespace {

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
