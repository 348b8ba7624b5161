// SPDX-License-Identifier: BSD-2-Clause
// A serial port as the readers use it: gathering a busy line between two screen updates.
#include "stream/SerialLink.h"

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "fakes/PseudoTerminal.h"
#include "serial/Serial.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::string text(const ByteBuffer& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

class SerialLinkTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(pty.ok()) << "no pseudo-terminal available"; }
    testpty::PseudoTerminal pty;
};

// The window's reader lets a busy line pile up between two screen updates and reads it in
// one go; at a fast line rate only as long as the terminal's buffer safely holds, and a
// cancel (quitting) never waits for the pause to end.
TEST_F(SerialLinkTest, GatheringPilesLinesUpForReadingInOneGoBoundedByTheLineRateAndCancel)
{
    auto opened = std::make_unique<Serial>();
    ASSERT_TRUE(opened->openPort(pty.slavePath(), "4800", false));
    SerialLink slow(std::move(opened), pty.slavePath(), "4800");
    std::thread writer([&] {
        for (int line = 0; line < 3; ++line) {
            std::this_thread::sleep_for(50ms);
            (void)pty.write("$GPGGA," + std::to_string(line) + "\n");
        }
    });
    auto start = Clock::now();
    slow.gather(0.3);
    EXPECT_GE(secondsSince(start), 0.28) << "a slow line is gathered for the whole time asked";
    writer.join();
    ByteBuffer bytes;
    ASSERT_EQ(slow.read(bytes, 1.0), ReaderLink::Read::Data);
    EXPECT_EQ(text(bytes), "$GPGGA,0\n$GPGGA,1\n$GPGGA,2\n") << "three lines, one read";

    // A line that brings more than a read takes (a terminal fed faster than its rate) is
    // read on without a pause.
    ASSERT_TRUE(pty.write(std::string(3000, 'x')));
    std::this_thread::sleep_for(100ms);
    ASSERT_EQ(slow.read(bytes, 1.0), ReaderLink::Read::Data);
    EXPECT_GE(bytes.size(), 2048u);
    start = Clock::now();
    slow.gather(0.3);
    EXPECT_LT(secondsSince(start), 0.1);
    while (slow.read(bytes, 0.2) == ReaderLink::Read::Data) {}

    std::thread canceller([&] {
        std::this_thread::sleep_for(100ms);
        slow.cancel();
    });
    start = Clock::now();
    slow.gather(5.0);
    EXPECT_LT(secondsSince(start), 1.0);
    canceller.join();
    slow.close();

    // 2 KB take 22 ms at 921600 bit/s: a pause of a second would overflow the terminal.
    auto fast = std::make_unique<Serial>();
    ASSERT_TRUE(fast->openPort(pty.slavePath(), "921600", false));
    SerialLink link(std::move(fast), pty.slavePath(), "921600");
    start = Clock::now();
    link.gather(1.0);
    EXPECT_LT(secondsSince(start), 0.2);
    // Without a known line rate there is no telling how long is safe: no pause at all.
    auto unknown = std::make_unique<Serial>();
    link.close();
    ASSERT_TRUE(unknown->openPort(pty.slavePath(), "4800", false));
    SerialLink rateless(std::move(unknown));
    start = Clock::now();
    rateless.gather(1.0);
    EXPECT_LT(secondsSince(start), 0.1);
}

}  // namespace
