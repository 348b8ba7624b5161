// SPDX-License-Identifier: BSD-2-Clause
#include <gtest/gtest.h>

#include "app/ReadoutFreshness.h"

TEST(ReadoutFreshnessTest, StaleAfterFiveSecondsOrThreeOfItsIntervals)
{
    ReadoutFreshness freshness;
    EXPECT_FALSE(freshness.stale(ReadoutFreshness::kTime, 100.0));  // never shown: only empty

    // Every second: stale after 5 s.
    freshness.refreshed(ReadoutFreshness::kTime, 0.0);
    freshness.refreshed(ReadoutFreshness::kTime, 1.0);
    EXPECT_FALSE(freshness.stale(ReadoutFreshness::kTime, 6.0));
    EXPECT_TRUE(freshness.stale(ReadoutFreshness::kTime, 6.1));

    // Every 5 s (a GSA rate many receivers use): stale only after 15 s; a second refresh
    // within the same cycle does not shorten the interval.
    freshness.refreshed(ReadoutFreshness::kFix, 0.0);
    freshness.refreshed(ReadoutFreshness::kFix, 5.0);
    freshness.refreshed(ReadoutFreshness::kFix, 5.01);
    EXPECT_FALSE(freshness.stale(ReadoutFreshness::kFix, 19.9));
    EXPECT_TRUE(freshness.stale(ReadoutFreshness::kFix, 20.1));

    freshness.reset();
    EXPECT_FALSE(freshness.stale(ReadoutFreshness::kFix, 100.0));
}
