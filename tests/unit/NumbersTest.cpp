// SPDX-License-Identifier: BSD-2-Clause
#include "base/Numbers.h"

#include <cstdint>
#include <limits>

#include <gtest/gtest.h>

namespace {

TEST(Numbers, DigitsOnlyTheWholeTextAndWithinTheType)
{
    EXPECT_EQ(digitsValue<unsigned>("2947"), 2947u);
    EXPECT_EQ(digitsValue<unsigned>("007"), 7u);
    EXPECT_EQ(digitsValue<std::uint8_t>("255"), 255);
    for (const char* bad : {"", " 1", "1 ", "+1", "-1", "1a", "0x10", "256"})
        EXPECT_FALSE(digitsValue<std::uint8_t>(bad).has_value()) << '"' << bad << '"';
    EXPECT_FALSE(digitsValue<long>("99999999999999999999").has_value()) << "overflow is no value";
}

TEST(Numbers, SignedTakesOneSignAndTheTypesWholeRange)
{
    EXPECT_EQ(signedDigitsValue<int>("-17"), -17);
    EXPECT_EQ(signedDigitsValue<int>("+17"), 17);
    EXPECT_EQ(signedDigitsValue<std::int8_t>("-128"), std::numeric_limits<std::int8_t>::min());
    for (const char* bad : {"", "-", "+", "--1", "+-1", "-+1", "- 1", "128", "-129"})
        EXPECT_FALSE(signedDigitsValue<std::int8_t>(bad).has_value()) << '"' << bad << '"';
}

}  // namespace
