// SPDX-License-Identifier: BSD-2-Clause
#include "serial/Serial.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "fakes/PseudoTerminal.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::string text(const ByteBuffer& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

ByteBuffer bytes(const std::string& text)
{
    return ByteBuffer(text.begin(), text.end());
}

// A line of exactly length bytes, line feed included.
std::string lineOf(std::size_t length, char fill)
{
    return "$" + std::string(length - 2, fill) + "\n";
}

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Runs body in a child process and returns its exit status (or -1 when it did not exit).
template <typename Body>
int inChild(Body body)
{
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(body());
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

constexpr int kCannotDrop = 77;

// Opens path with a fresh port object as the unprivileged user "nobody" (root passes by
// exclusive mode, so the check must run without root). 0 opened, 1 refused.
int openAsNobody(const std::string& path)
{
    return inChild([&] {
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
            return kCannotDrop;
        Serial port;
        return port.openPort(path, "4800", false) ? 0 : 1;
    });
}

class SerialTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pty.ok()) << "no pseudo-terminal available";
    }
    testpty::PseudoTerminal pty;
};

TEST_F(SerialTest, AppliesRawEightNOneWithHalfSecondTimeoutAndTheRateTable)
{
    const struct {
        const char* rate;
        speed_t speed;
    } cases[] = {
        {"1200", B1200}, {"4800", B4800}, {"9600", B9600}, {"19200", B19200},
        {"38400", B38400}, {"57600", B57600}, {"115200", B115200}, {"921600", B921600},
        {"2400", B4800}, {"", B4800}, {"4800 ", B4800}, {"Automatic", B4800},
    };
    const int held = pty.holdSlave();
    ASSERT_GE(held, 0);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("rate '") + c.rate + "'");
        // Leave the line in a cooked, echoing state so that every flag must be set anew.
        termios cooked;
        ASSERT_EQ(::tcgetattr(held, &cooked), 0);
        cooked.c_lflag |= ICANON | ECHO | ISIG;
        cooked.c_iflag |= ICRNL | IXON;
        cooked.c_oflag |= OPOST;
        cooked.c_cflag |= PARENB | CSTOPB | HUPCL;
        ASSERT_EQ(::tcsetattr(held, TCSANOW, &cooked), 0);

        Serial port;
        ASSERT_TRUE(port.openPort(pty.slavePath(), c.rate, false));
        termios t;
        ASSERT_EQ(::tcgetattr(held, &t), 0);
        EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
        EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | HUPCL | CRTSCTS), 0u);
        EXPECT_EQ(t.c_cflag & (CREAD | CLOCAL), static_cast<tcflag_t>(CREAD | CLOCAL));
        EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
        EXPECT_EQ(t.c_iflag & (IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR | ISTRIP | INPCK), 0u);
        EXPECT_EQ(t.c_oflag & OPOST, 0u);
        EXPECT_EQ(t.c_cc[VMIN], 0);
        EXPECT_EQ(t.c_cc[VTIME], 5);
        EXPECT_EQ(::cfgetispeed(&t), c.speed);
        EXPECT_EQ(::cfgetospeed(&t), c.speed);
    }

    Serial flowControlled;
    ASSERT_TRUE(flowControlled.openPort(pty.slavePath(), "4800", true));
    termios t;
    ASSERT_EQ(::tcgetattr(held, &t), 0);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | IXANY), static_cast<tcflag_t>(IXON | IXOFF | IXANY));
}

TEST_F(SerialTest, FailedOpenLeavesThePortClosed)
{
    Serial port;
    EXPECT_FALSE(port.openPort("/nonexistent/ttyUSB0", "4800", false));
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.writePort(bytes("x")), 0u);
}

TEST_F(SerialTest, ClosedPortReadsEmptyAndWritesNothing)
{
    Serial port;
    const auto line = port.readPortUntilChar(10, 256);
    ASSERT_TRUE(line.has_value()) << "a closed port gives an empty buffer, not nothing";
    EXPECT_TRUE(line->empty());
    EXPECT_TRUE(port.readPortLength(4).empty());
    std::uint8_t byte = 0;
    EXPECT_FALSE(port.readPortChar(byte));
    EXPECT_EQ(port.writePort(bytes("$PSRF105,1")), 0u);

    ASSERT_TRUE(port.openPort(pty.slavePath(), "4800", false));
    port.closePort();
    port.closePort();
    EXPECT_FALSE(port.isOpen());
    EXPECT_TRUE(port.readPortUntilChar(10, 256).value_or(ByteBuffer{1}).empty());
    EXPECT_EQ(pty.readAll(20ms), "");
}

TEST_F(SerialTest, WritesEveryByteInOrderAndCountsThem)
{
    Serial port;
    ASSERT_TRUE(port.openPort(pty.slavePath(), "4800", false));
    const std::string sent = std::string("$PSRF100,1,4800,8,1,0*0E\r\n") + '\0' + "\xA0\xA2";
    EXPECT_EQ(port.writePort(bytes(sent)), sent.size());
    EXPECT_EQ(pty.readAll(), sent);
    EXPECT_EQ(port.writePort(ByteBuffer{}), 0u);
}

TEST_F(SerialTest, LinesUpToTheLimitAreWholeLongerOnesAreConsumedAndLost)
{
    Serial port;
    ASSERT_TRUE(port.openPort(pty.slavePath(), "4800", false));

    const std::string exact = lineOf(255, 'a');
    ASSERT_TRUE(pty.write(exact));
    EXPECT_EQ(text(port.readPortUntilChar(10, 256).value_or(ByteBuffer{})), exact);

    // 256 bytes with the line feed: consumed whole, nothing returned, next line intact.
    ASSERT_TRUE(pty.write(lineOf(256, 'b') + "$next\n"));
    EXPECT_FALSE(port.readPortUntilChar(10, 256).has_value());
    EXPECT_EQ(text(port.readPortUntilChar(10, 256).value_or(ByteBuffer{})), "$next\n");

    // 300 bytes: the first call eats 256, the second returns the last 44.
    const std::string longLine = lineOf(300, 'c');
    ASSERT_TRUE(pty.write(longLine));
    EXPECT_FALSE(port.readPortUntilChar(10, 256).has_value());
    const auto tail = port.readPortUntilChar(10, 256);
    ASSERT_TRUE(tail.has_value());
    EXPECT_EQ(text(*tail), longLine.substr(256));
    EXPECT_EQ(tail->size(), 44u);

    // Terminator 0: nothing is read at all.
    ASSERT_TRUE(pty.write("$kept\n"));
    const auto none = port.readPortUntilChar(0, 256);
    ASSERT_TRUE(none.has_value());
    EXPECT_TRUE(none->empty());
    EXPECT_EQ(text(port.readPortUntilChar(10, 256).value_or(ByteBuffer{})), "$kept\n");
}

// Some receivers end lines with CR alone; a CR LF pair stays one line end, also when the LF
// comes a moment after the CR, and the bytes handed out are the bytes sent.
TEST_F(SerialTest, ReadPortLineEndsLinesAtCarriageReturnsToo)
{
    Serial port;
    ASSERT_TRUE(port.openPort(pty.slavePath(), "4800", false));
    auto next = [&] { return text(port.readPortLine(256).value_or(ByteBuffer{})); };

    ASSERT_TRUE(pty.write("$A*00\r\n$B*00\r$C*00\n"));
    EXPECT_EQ(next(), "$A*00\r\n");
    EXPECT_EQ(next(), "$B*00\r");
    EXPECT_EQ(next(), "$C*00\n");

    ASSERT_TRUE(pty.write("$D*00\r"));
    EXPECT_EQ(next(), "$D*00\r");  // no LF within a few byte times: a CR-only line
    ASSERT_TRUE(pty.write("\n$E*00\r\n"));
    EXPECT_TRUE(port.waitForInput(0.5));
    EXPECT_EQ(next(), "$E*00\r\n");  // the late LF was no empty line
    EXPECT_FALSE(port.waitForInput(0.05));
}

// A run of NULs before a sentence (longer than the line limit) is no part of it: the
// sentence still comes whole.
TEST_F(SerialTest, NulsBetweenLinesDoNotCostTheNextSentence)
{
    Serial port;
    ASSERT_TRUE(port.openPort(pty.slavePath(), "4800", false));
    ASSERT_TRUE(pty.write("$A*00\r\n" + std::string(3000, '\0') + "$GPRMC,1*00\r\n"));
    auto next = [&] { return text(port.readPortLine(1024).value_or(ByteBuffer{})); };
    EXPECT_EQ(next(), "$A*00\r\n");
    EXPECT_EQ(next(), "$GPRMC,1*00\r\n");
}

TEST_F(SerialTest, BytesThatArriveTogetherAreHandedOutCallByCallAndNeverLost)
{
    Serial port;
    ASSERT_TRUE(port.openPort(pty.slavePath(), "4800", false));

    // Two lines and the start of a third in one write, so most likely in one read.
    ASSERT_TRUE(pty.write("$GPGGA,1*00\r\n$GPRMC,2*00\r\n$GPV"));
    EXPECT_EQ(text(port.readPortUntilChar(10, 256).value_or(ByteBuffer{})), "$GPGGA,1*00\r\n");
    EXPECT_EQ(text(port.readPortUntilChar(10, 256).value_or(ByteBuffer{})), "$GPRMC,2*00\r\n");
    // The rest of the third line comes later and joins what was kept.
    std::thread late([&] {
        std::this_thread::sleep_for(100ms);
        pty.write("TG,3*00\r\nXYZ");
    });
    EXPECT_EQ(text(port.readPortUntilChar(10, 256).value_or(ByteBuffer{})), "$GPVTG,3*00\r\n");
    late.join();
    std::uint8_t byte = 0;
    ASSERT_TRUE(port.readPortChar(byte));
    EXPECT_EQ(byte, 'X');
    EXPECT_EQ(text(port.readPortLength(2)), "YZ");

    // A flush drops what was received but not handed out, kept bytes included.
    ASSERT_TRUE(pty.write("$old1\n$old2\n"));
    EXPECT_EQ(text(port.readPortUntilChar(10, 256).value_or(ByteBuffer{})), "$old1\n");
    port.flushPort();
    ASSERT_TRUE(pty.write("$new\n"));
    EXPECT_EQ(text(port.readPortUntilChar(10, 256).value_or(ByteBuffer{})), "$new\n");
}

TEST_F(SerialTest, AfterAnOverlongLineIsCutTheRestComesInLimitSizedPieces)
{
    Serial port;
    ASSERT_TRUE(port.openPort(pty.slavePath(), "4800", false));
    // 1000 bytes and a good line in one write: three cuts of 256 bytes each give nothing,
    // then the last 232 bytes come as a "line", then the good line, untouched.
    const std::string longLine = lineOf(1000, 'd');
    ASSERT_TRUE(pty.write(longLine + "$after\n"));
    for (int cut = 0; cut < 3; ++cut)
        EXPECT_FALSE(port.readPortUntilChar(10, 256).has_value()) << "cut " << cut;
    EXPECT_EQ(text(port.readPortUntilChar(10, 256).value_or(ByteBuffer{})), longLine.substr(768));
    EXPECT_EQ(text(port.readPortUntilChar(10, 256).value_or(ByteBuffer{})), "$after\n");

    // A limit of 1 consumes one byte per call and never returns a line.
    ASSERT_TRUE(pty.write("\n$x\n"));
    EXPECT_FALSE(port.readPortUntilChar(10, 1).has_value());
    EXPECT_EQ(text(port.readPortUntilChar(10, 256).value_or(ByteBuffer{})), "$x\n");
}

TEST_F(SerialTest, CancelEndsAWaitOnAQuietLineAtOnceAndEveryReadAfterIt)
{
    Serial port;
    ASSERT_TRUE(port.openPort(pty.slavePath(), "4800", false));
    ASSERT_TRUE(pty.write("$GPGGA,12"));  // a line begun, then silence

    std::optional<ByteBuffer> line{ByteBuffer{}};
    Clock::time_point returnedAt{};
    std::thread reader([&] {
        line = port.readPortUntilChar(10, 256);
        returnedAt = Clock::now();
    });
    std::this_thread::sleep_for(700ms);  // past the first half-second wait
    const auto cancelledAt = Clock::now();
    port.cancel();
    reader.join();

    EXPECT_FALSE(line.has_value());
    EXPECT_LT(std::chrono::duration<double>(returnedAt - cancelledAt).count(), 0.1);
    EXPECT_TRUE(port.cancelled());
    EXPECT_FALSE(port.hungUp()) << "a cancel is not a hang-up";
    EXPECT_TRUE(port.isOpen()) << "the owner still closes the port";

    // Later reads do not wait either, even with data there.
    ASSERT_TRUE(pty.write("3\n$GPRMC\n"));
    const auto start = Clock::now();
    std::uint8_t byte = 0;
    EXPECT_FALSE(port.readPortChar(byte));
    EXPECT_FALSE(port.readPortUntilChar(10, 256).has_value());
    EXPECT_TRUE(port.readPortLength(4).empty());
    EXPECT_LT(secondsSince(start), 0.1);
    port.closePort();
    EXPECT_TRUE(port.readPortUntilChar(10, 256).value_or(ByteBuffer{1}).empty())
        << "a closed port still reads an empty buffer";
}

TEST_F(SerialTest, ReadPortLengthReturnsTheCountAskedFor)
{
    Serial port;
    ASSERT_TRUE(port.openPort(pty.slavePath(), "4800", false));
    ASSERT_TRUE(pty.write("ABCDEFG"));
    EXPECT_EQ(text(port.readPortLength(4)), "ABCD");
    EXPECT_EQ(text(port.readPortLength(3)), "EFG");
}

volatile sig_atomic_t g_signals = 0;
timer_t g_timer;

void onAlarm(int)
{
    g_signals = g_signals + 1;
    if (g_signals >= 20) {
        const itimerspec off{};
        timer_settime(g_timer, 0, &off, nullptr);
    }
}

TEST_F(SerialTest, FiveSecondsOfSilenceInsideALineLoseThatLineEvenUnderSignals)
{
    Serial port;
    ASSERT_TRUE(port.openPort(pty.slavePath(), "4800", false));
    ASSERT_TRUE(pty.write("$GPGGA,1234"));

    // Twenty signals in the first 200 ms, without SA_RESTART: each interrupted read must be
    // retried, not counted as one of the ten half-second attempts.
    struct sigaction action {};
    struct sigaction previous {};
    action.sa_handler = onAlarm;
    sigemptyset(&action.sa_mask);
    ASSERT_EQ(::sigaction(SIGALRM, &action, &previous), 0);
    sigevent event{};
    event.sigev_notify = SIGEV_SIGNAL;
    event.sigev_signo = SIGALRM;
    ASSERT_EQ(::timer_create(CLOCK_MONOTONIC, &event, &g_timer), 0);
    g_signals = 0;
    itimerspec every10ms{};
    every10ms.it_value.tv_nsec = 10'000'000;
    every10ms.it_interval.tv_nsec = 10'000'000;
    ASSERT_EQ(::timer_settime(g_timer, 0, &every10ms, nullptr), 0);

    const auto start = Clock::now();
    const auto line = port.readPortUntilChar(10, 256);
    const double elapsed = secondsSince(start);
    ::timer_delete(g_timer);
    ::sigaction(SIGALRM, &previous, nullptr);

    EXPECT_FALSE(line.has_value());
    EXPECT_GE(g_signals, 10);
    EXPECT_GE(elapsed, 4.5);
    EXPECT_LE(elapsed, 7.0);
    EXPECT_FALSE(port.hungUp()) << "a quiet line is not a hang-up";

    ASSERT_TRUE(pty.write("$GPRMC,1*00\r\n"));
    EXPECT_EQ(text(port.readPortUntilChar(10, 256).value_or(ByteBuffer{})), "$GPRMC,1*00\r\n");
}

TEST_F(SerialTest, FailedOpenKeepsItsReason)
{
    Serial port;
    EXPECT_FALSE(port.openPort("/nonexistent/ttyUSB0", "4800", false));
    EXPECT_EQ(port.lastError(), ENOENT);
    Serial good;
    ASSERT_TRUE(good.openPort(pty.slavePath(), "4800", false));
    EXPECT_EQ(good.lastError(), 0);
}

TEST_F(SerialTest, HangUpFailsReadsAtOnceAndIsReported)
{
    Serial port;
    ASSERT_TRUE(port.openPort(pty.slavePath(), "4800", false));
    EXPECT_FALSE(port.hungUp());
    pty.closeMaster();

    const auto start = Clock::now();
    std::uint8_t byte = 0;
    EXPECT_FALSE(port.readPortChar(byte));
    EXPECT_TRUE(port.hungUp());
    EXPECT_EQ(port.lastError(), EIO) << "the reason the connection ended is kept";
    EXPECT_FALSE(port.readPortUntilChar(10, 256).has_value());
    EXPECT_EQ(port.writePort(bytes("$PSRF105,1")), 0u);
    EXPECT_LT(secondsSince(start), 0.1);

    EXPECT_TRUE(port.isOpen()) << "the caller decides when to close";
    port.closePort();
    EXPECT_FALSE(port.isOpen());
}

TEST_F(SerialTest, DescriptorIsCloseOnExecAndNeverTheControllingTerminal)
{
    pty.holdSlave();
    // A session leader without a terminal would acquire the device as its controlling
    // terminal on open; then /dev/tty would open.
    const int status = inChild([&] {
        if (::setsid() < 0) return 3;
        Serial port;
        if (!port.openPort(pty.slavePath(), "4800", false)) return 4;
        if (::open("/dev/tty", O_RDWR | O_NOCTTY) >= 0) return 1;
        // The port's descriptor is the newest one of this process.
        int newest = -1;
        for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
            const int fd = std::stoi(entry.path().filename().string());
            std::error_code error;
            if (std::filesystem::read_symlink(entry.path(), error).string() == pty.slavePath()
                && fd > newest)
                newest = fd;
        }
        if (newest < 0) return 5;
        return (::fcntl(newest, F_GETFD) & FD_CLOEXEC) ? 0 : 2;
    });
    EXPECT_EQ(status, 0) << "1: became the controlling terminal, 2: no close-on-exec";
}

TEST_F(SerialTest, DescriptorZeroIsMovedNotLeaked)
{
    const int status = inChild([&] {
        ::close(0);
        Serial port;
        if (!port.openPort(pty.slavePath(), "4800", false)) return 1;
        if (::fcntl(0, F_GETFD) != -1) return 2;
        port.closePort();
        return port.isOpen() ? 3 : 0;
    });
    EXPECT_EQ(status, 0) << "1: open failed, 2: descriptor 0 held, 3: still open";
}

TEST_F(SerialTest, ExclusiveAccessRefusesASecondOpenerUntilClosed)
{
    // Our own descriptor keeps the terminal alive across the port's close, as the simulator
    // does; without clearing exclusive mode on close the device would stay locked.
    ASSERT_GE(pty.holdSlave(), 0);
    Serial port;
    if (::geteuid() != 0) {
        ASSERT_TRUE(port.openPort(pty.slavePath(), "4800", false));
        Serial second;
        EXPECT_FALSE(second.openPort(pty.slavePath(), "4800", false));
        EXPECT_EQ(second.lastError(), EBUSY);
        port.closePort();
        EXPECT_TRUE(second.openPort(pty.slavePath(), "4800", false));
        return;
    }
    ASSERT_EQ(::chmod(pty.slavePath().c_str(), 0666), 0);
    const int before = openAsNobody(pty.slavePath());
    if (before == kCannotDrop) GTEST_SKIP() << "cannot drop to user nobody; exclusive access untested";
    ASSERT_EQ(before, 0) << "the unprivileged user cannot open the device at all";

    ASSERT_TRUE(port.openPort(pty.slavePath(), "4800", false));
    EXPECT_EQ(openAsNobody(pty.slavePath()), 1) << "second opener was let in";
    port.closePort();
    EXPECT_EQ(openAsNobody(pty.slavePath()), 0) << "exclusive mode outlived the close";
}

}  // namespace
