// SPDX-License-Identifier: BSD-2-Clause
// The program between a caster, gpsd and a receiver, each started by the test on this
// computer: corrections reach the receiver byte for byte, the caster gets the position on
// time, gpsd's receiver is read but never configured, and the password shows nowhere.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <netinet/in.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

#include "GuiTestApp.h"
#include "fakes/TestData.h"
#include "integration/TestCaster.h"
#include "sources/Rtcm3Framer.h"
#include "sim/Simulator.h"

namespace {

using namespace std::chrono_literals;
using testcaster::TestCaster;

std::unique_ptr<QProcess> startProgram(const QStringList& arguments, const QString& home,
                                       const QString& password = {})
{
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home);
    // No secret service of the developer's own is asked.
    environment.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    if (!password.isEmpty()) environment.insert(QStringLiteral("GPSDESK_NTRIP_PASSWORD"), password);
    process->setProcessEnvironment(environment);
    process->setProcessChannelMode(QProcess::SeparateChannels);
    process->start(QStringLiteral(GPSDESK_BINARY), arguments);
    return process;
}

void writePreferences(const QString& home, const QByteArray& json)
{
    QDir().mkpath(home + QStringLiteral("/gpsdesk"));
    QFile file(home + QStringLiteral("/gpsdesk/preferences.json"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(json);
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The checked RTCM 3 frames in bytes, concatenated (anything else skipped).
std::string rtcmFrames(const std::string& bytes)
{
    std::string frames;
    Rtcm3Framer framer;
    framer.feed({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()},
                [&](std::span<const std::uint8_t> frame) { frames.append(frame.begin(), frame.end()); });
    return frames;
}

// A simulated receiver the program opens like a serial one; it records what it is sent.
std::unique_ptr<sim::Simulator> startReceiver(const std::string& recordPath)
{
    sim::Options options;
    options.garbleAtWrongSpeed = false;
    options.recordPath = recordPath;
    auto simulator = std::make_unique<sim::Simulator>(options);
    if (!simulator->start()) {
        ADD_FAILURE() << simulator->error();
        return nullptr;
    }
    return simulator;
}

// The caster's stream through the program (headless, or the window) to a receiver on a
// pseudo-terminal.
void casterToReceiver(bool window)
{
    guiTestApp();
    REQUIRE_TESTDATA(root);
    const std::string stream = testcaster::readLogBody((root / "rtcm3/rtcm3.2.log").string());
    ASSERT_FALSE(stream.empty());
    TestCaster caster(stream, stream.size());
    ASSERT_TRUE(caster.ok());
    QTemporaryDir home;
    // The position goes to the caster every second here (ten by default).
    writePreferences(home.path(), R"({"NtripGgaSeconds": 1})");
    const std::string record = home.filePath(QStringLiteral("received.bin")).toStdString();
    auto receiver = startReceiver(record);
    ASSERT_TRUE(receiver);

    const QString url = QStringLiteral("ntrip://rover@127.0.0.1:%1/VRS").arg(caster.port());
    // The window connects two seconds after it starts and has Qt to start: it runs longer, so
    // that both faces send the caster as many positions.
    QStringList arguments{"--port", QString::fromStdString(receiver->devicePath()), "--rate", "4800",
                          "--ntrip", url, "--quit-after", window ? "13" : "9"};
    if (!window) arguments.prepend("--headless");
    auto program = startProgram(arguments, home.path(), QString::fromLatin1(TestCaster::kPassword));
    ASSERT_TRUE(program->waitForStarted(10000));
    // Not in the process list: neither the arguments nor anything else ps shows.
    std::this_thread::sleep_for(1s);
    const std::string commandLine = readFile("/proc/" + std::to_string(program->processId()) + "/cmdline");
    EXPECT_FALSE(commandLine.empty());
    EXPECT_EQ(commandLine.find(TestCaster::kPassword), std::string::npos);
    const std::string environment = readFile("/proc/" + std::to_string(program->processId()) + "/environ");
    EXPECT_NE(environment.find("QT_QPA_PLATFORM"), std::string::npos);
    EXPECT_EQ(environment.find(TestCaster::kPassword), std::string::npos) << "ps e would show it";
    ASSERT_TRUE(program->waitForFinished(40000));
    EXPECT_EQ(program->exitCode(), 0);
    receiver->stop();

    // The log starts inside a frame: every whole frame from the first on, in order, unaltered.
    constexpr std::size_t kFirstFrame = 344;
    EXPECT_EQ(rtcmFrames(readFile(record)), stream.substr(kFirstFrame))
        << "the receiver got " << rtcmFrames(readFile(record)).size() << " of " << stream.size() - kFirstFrame
        << " bytes of frames";

    const auto ggas = caster.ggas();
    ASSERT_GE(ggas.size(), 4u) << "a GGA a second for several seconds";
    for (const auto& gga : ggas) EXPECT_TRUE(testcaster::checksumOk(gga.sentence.substr(0, gga.sentence.find('\r'))));
    for (std::size_t i = 1; i < ggas.size(); ++i) {
        const double gap = std::chrono::duration<double>(ggas[i].at - ggas[i - 1].at).count();
        EXPECT_GT(gap, 0.5) << i;
        EXPECT_LT(gap, 3.0) << i;
    }

    const QByteArray said = program->readAllStandardOutput() + program->readAllStandardError();
    EXPECT_FALSE(said.contains(TestCaster::kPassword));
    QFile preferences(home.filePath(QStringLiteral("gpsdesk/preferences.json")));
    if (preferences.open(QIODevice::ReadOnly)) {
        EXPECT_FALSE(preferences.readAll().contains(TestCaster::kPassword));
    }
}

TEST(NetworkEndToEndTest, CasterFramesReachTheReceiverByteExactAndTheCasterGetsGgaOnTime)
{
    casterToReceiver(false);
}

TEST(NetworkEndToEndTest, TheWindowToo)
{
    casterToReceiver(true);
}

// Debian's gpsd, started by the test on the simulator's terminal on a port of its own.
class GpsdEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        guiTestApp();
        if (::access(kGpsd, X_OK) != 0) GTEST_SKIP() << "gpsd is not installed; skipped";
        receiver = startReceiver(home.filePath(QStringLiteral("gpsd-sent.bin")).toStdString());
        ASSERT_TRUE(receiver);
        // gpsd may drop root and run as another user: let it open the terminal.
        ::chmod(receiver->devicePath().c_str(), 0666);
        port = freePort();
        ASSERT_NE(port, 0);
        const std::string portText = std::to_string(port);
        const std::string device = receiver->devicePath();
        gpsd = ::fork();
        if (gpsd == 0) {
            const int null = ::open("/dev/null", O_RDWR);
            ::dup2(null, 1);
            ::dup2(null, 2);
            // -b: read only, never a configuration write to the receiver.
            ::execl(kGpsd, kGpsd, "-N", "-n", "-b", "-S", portText.c_str(), device.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ASSERT_GT(gpsd, 0);
    }
    void TearDown() override
    {
        if (gpsd > 0) {
            ::kill(gpsd, SIGTERM);
            int status = 0;
            const auto deadline = std::chrono::steady_clock::now() + 3s;
            while (::waitpid(gpsd, &status, WNOHANG) == 0) {
                if (std::chrono::steady_clock::now() > deadline) {
                    ::kill(gpsd, SIGKILL);
                    ::waitpid(gpsd, &status, 0);
                    break;
                }
                std::this_thread::sleep_for(20ms);
            }
        }
        if (receiver) receiver->stop();
    }

    static std::uint16_t freePort()
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        std::uint16_t found = 0;
        if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0
            && ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            found = ntohs(address.sin_port);
        ::close(fd);
        return found;
    }

    static bool listening(std::uint16_t port)
    {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (std::chrono::steady_clock::now() < deadline) {
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            address.sin_port = htons(port);
            const bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
            ::close(fd);
            if (connected) return true;
            std::this_thread::sleep_for(100ms);
        }
        return false;
    }

    QString url() const
    {
        return QStringLiteral("gpsd://127.0.0.1:%1%2").arg(port).arg(QString::fromStdString(receiver->devicePath()));
    }

    static constexpr const char* kGpsd = "/usr/sbin/gpsd";
    QTemporaryDir home;
    std::unique_ptr<sim::Simulator> receiver;
    std::uint16_t port = 0;
    pid_t gpsd = -1;
};

TEST_F(GpsdEndToEndTest, TheReceiverIsReadThroughGpsdAndAConfigurationWriteIsRefused)
{
    // gpsd takes a moment to listen.
    ASSERT_TRUE(listening(port)) << "gpsd did not listen on port " << port;
    auto reading = startProgram({"--headless", "--source", url(), "--quit-after", "8"}, home.path());
    ASSERT_TRUE(reading->waitForFinished(40000));
    const QByteArray errors = reading->readAllStandardError();
    EXPECT_EQ(reading->exitCode(), 0) << errors.toStdString();
    bool fix = false;
    for (const QByteArray& line : reading->readAllStandardOutput().split('\n')) {
        const QJsonObject report = QJsonDocument::fromJson(line).object();
        if (report["class"] == "TPV" && report["mode"].toInt() >= 2 && report.contains("lat")) fix = true;
    }
    EXPECT_TRUE(fix) << "no TPV with a fix through gpsd\n" << errors.toStdString();

    auto writing = startProgram({"--headless", "--source", url(), "--set", "CFG-RATE-MEAS=200", "--quit-after", "8"},
                                home.path());
    ASSERT_TRUE(writing->waitForFinished(40000));
    const QString refusal = QString::fromUtf8(writing->readAllStandardError());
    EXPECT_NE(writing->exitCode(), 0) << "a refused write is no success";
    EXPECT_TRUE(refusal.contains(QStringLiteral("configuration is not possible through gpsd"))) << refusal.toStdString();
}

}  // namespace
