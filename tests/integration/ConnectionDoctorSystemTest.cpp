// SPDX-License-Identifier: BSD-2-Clause
// The connection doctor on the real system: an unprivileged user before a dialout device,
// and Debian's gpsd holding a pseudo-terminal.

#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "serial/ConnectionDoctor.h"
#include "serial/Serial.h"
#include "fakes/PseudoTerminal.h"
#include "platform/Services.h"
#include "posix/StringsBundle.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The English texts for the doctor's words while the test runs.
class EnglishTexts {
public:
    EnglishTexts() : m_saved(platform::services()) { platform::services().bundle = &m_bundle; }
    ~EnglishTexts() { platform::services() = m_saved; }

private:
    platform::posix::StringsBundle m_bundle{fs::path(GPSDESK_SOURCE_DIR) / "resources",
                                            std::vector<std::string>{"en"}};
    platform::Services m_saved;
};

// What a child process wrote to its end of a pipe before it exited.
template <typename Body>
std::string outputOfChild(Body body)
{
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0) return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipeEnds[0]);
        const std::string text = body();
        (void)!::write(pipeEnds[1], text.data(), text.size());
        ::_exit(0);
    }
    ::close(pipeEnds[1]);
    std::string text;
    char buffer[512];
    for (ssize_t n; (n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(n));
    ::close(pipeEnds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return text;
}

TEST(ConnectionDoctorSystemTest, NobodyBeforeADialoutDeviceIsToldToJoinTheGroup)
{
    if (::geteuid() != 0) GTEST_SKIP() << "making a device node and becoming nobody needs root";
    EnglishTexts english;
    const group* dialout = ::getgrnam("dialout");
    if (!dialout) GTEST_SKIP() << "no dialout group on this system";
    testpty::PseudoTerminal pty;
    ASSERT_TRUE(pty.ok());
    struct stat slave;
    ASSERT_EQ(::stat(pty.slavePath().c_str(), &slave), 0);

    std::string folder = (fs::temp_directory_path() / "gpsdesk-doctor-XXXXXX").string();
    ASSERT_TRUE(::mkdtemp(folder.data()));
    ::chmod(folder.c_str(), 0755);
    const std::string node = folder + "/gps0";
    ASSERT_EQ(::mknod(node.c_str(), S_IFCHR | 0660, slave.st_rdev), 0);
    ASSERT_EQ(::chown(node.c_str(), 0, dialout->gr_gid), 0);
    ASSERT_EQ(::chmod(node.c_str(), 0660), 0);

    const std::string text = outputOfChild([&]() -> std::string {
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
            return "cannot become nobody";
        Serial port;
        if (port.openPort(node, "4800", false)) return "opened";
        return ConnectionDoctor().explainOpenFailure(port.lastError(), node);
    });
    fs::remove_all(folder);
    if (text == "cannot become nobody") GTEST_SKIP() << text;
    std::cout << text << "\n";
    for (const std::string& part : {"You (nobody) may not open " + node,
                                   std::string("user root and group dialout, mode crw-rw---- (660)"),
                                   std::string("sudo usermod -aG dialout $USER"),
                                   std::string("log out and log in again")})
        EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
}

TEST(ConnectionDoctorSystemTest, GpsdHoldingTheTerminalIsNamedWithItsPid)
{
    const char* gpsd = "/usr/sbin/gpsd";
    if (::access(gpsd, X_OK) != 0) GTEST_SKIP() << "gpsd is not installed";
    EnglishTexts english;
    testpty::PseudoTerminal pty;
    ASSERT_TRUE(pty.ok());
    const std::string device = pty.slavePath();
    const std::string listen = std::to_string(20000 + ::getpid() % 20000);

    const pid_t pid = ::fork();
    if (pid == 0) {
        const int quiet = ::open("/dev/null", O_RDWR);
        ::dup2(quiet, 1);
        ::dup2(quiet, 2);
        // Foreground, reading at once, never writing to the device, on a port of its own.
        ::execl(gpsd, "gpsd", "-N", "-n", "-b", "-S", listen.c_str(), device.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ASSERT_GT(pid, 0);
    ConnectionDoctor doctor;
    bool held = false;
    for (int i = 0; i < 100 && !held; ++i) {
        for (const auto& holder : doctor.holders(device)) held |= holder.pid == pid;
        if (!held) std::this_thread::sleep_for(50ms);
    }

    std::string text;
    Serial port;
    if (port.openPort(device, "4800", false))
        text = doctor.sharedUseWarning(device).value_or("");
    else
        text = doctor.explainOpenFailure(port.lastError(), device);
    port.closePort();
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);

    ASSERT_TRUE(held) << "gpsd never opened " << device;
    std::cout << text << "\n";
    EXPECT_NE(text.find("gpsd (process " + std::to_string(pid) + ")"), std::string::npos) << text;
}

}  // namespace
