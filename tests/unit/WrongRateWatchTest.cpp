// SPDX-License-Identifier: BSD-2-Clause
#include "serial/WrongRateWatch.h"

#include <gtest/gtest.h>

namespace {

TEST(WrongRateWatchTest, BytesWithoutValidSentencesForThreeSecondsAreToldOncePerSpell)
{
    WrongRateWatch watch;
    watch.reset(100.0, 500);
    std::uint64_t bytes = 500;
    int told = 0;
    double t = 100.0;
    for (; t < 102.9; t += 0.1) told += watch.observe(t, bytes += 40);
    EXPECT_EQ(told, 0) << "under three seconds";
    for (; t < 110.0; t += 0.1) told += watch.observe(t, bytes += 40);
    EXPECT_EQ(told, 1) << "once, not at every read";

    watch.validSentence(t);
    EXPECT_FALSE(watch.observe(t + 1.0, bytes += 40));
    EXPECT_TRUE(watch.observe(t + 3.1, bytes += 40)) << "a new spell is told again";
}

TEST(WrongRateWatchTest, ASilentLineIsNoRateQuestion)
{
    WrongRateWatch watch;
    watch.reset(0.0, 0);
    EXPECT_FALSE(watch.observe(0.5, 100));
    EXPECT_FALSE(watch.observe(5.0, 100)) << "no byte for 4.5 s";
    EXPECT_TRUE(watch.observe(5.2, 140)) << "bytes again, still nothing valid";
}

}  // namespace
