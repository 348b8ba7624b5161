// SPDX-License-Identifier: BSD-2-Clause
#include <chrono>
#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "posix/PosixClock.h"
#include "posix/PosixSleeper.h"
#include "posix/PosixSystemInfo.h"

namespace {

using platform::posix::PosixClock;
using platform::posix::PosixSleeper;

TEST(PosixSleeperTest, SleepsTheWholeTimeWhenNotWoken)
{
    PosixClock clock;
    PosixSleeper sleeper;
    const double start = clock.now();
    EXPECT_TRUE(sleeper.sleepFor(0.05));
    EXPECT_GE(clock.now() - start, 0.05);
    EXPECT_TRUE(sleeper.sleepFor(0.0));
    EXPECT_TRUE(sleeper.sleepFor(-1.0));
    EXPECT_TRUE(sleeper.sleepFor(std::numeric_limits<double>::quiet_NaN()));
}

TEST(PosixSleeperTest, WakeEndsACurrentSleepAndEveryLaterOne)
{
    PosixClock clock;
    PosixSleeper sleeper;
    bool result = true;
    double slept = 0;
    std::thread reader([&] {
        const double start = clock.now();
        result = sleeper.sleepFor(60.0);
        slept = clock.now() - start;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    sleeper.wake();
    reader.join();
    EXPECT_FALSE(result);
    EXPECT_LT(slept, 10.0);

    const double start = clock.now();
    EXPECT_FALSE(sleeper.sleepFor(60.0));
    EXPECT_FALSE(sleeper.sleepFor(1e300));
    EXPECT_LT(clock.now() - start, 1.0);
}

TEST(PosixSleeperTest, WakeBeforeTheSleepStartsIsNotLost)
{
    PosixSleeper sleeper;
    sleeper.wake();
    std::thread reader([&] { EXPECT_FALSE(sleeper.sleepFor(60.0)); });
    reader.join();
}

TEST(PosixSystemInfoTest, MemoryMatchesTheKernelsTotal)
{
    platform::posix::PosixSystemInfo info;
    const auto bytes = info.physicalMemoryBytes();
    ASSERT_TRUE(bytes.has_value());
    std::ifstream meminfo("/proc/meminfo");
    std::string line;
    std::uint64_t totalKiB = 0;
    while (std::getline(meminfo, line))
        if (line.rfind("MemTotal:", 0) == 0) std::istringstream(line.substr(9)) >> totalKiB;
    if (totalKiB == 0) GTEST_SKIP() << "/proc/meminfo not readable";
    EXPECT_EQ(*bytes / 1024, totalKiB);
}

}  // namespace
