// SPDX-License-Identifier: BSD-2-Clause
#include <cmath>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "nmea/NMEA.h"

namespace {

constexpr float kNoPosition = -1000.0f;

using Text = std::optional<std::string>;

}  // namespace

TEST(NMEAPosition, ConvertsInSinglePrecisionStepByStep)
{
    const struct {
        const char* coordinate;
        const char* hemisphere;
        float degrees;
    } cases[] = {
        {"4807.038", "N", 48.1172981f},
        {"01131.000", "E", 11.5166664f},
        {"12311.12", "W", -123.185333f},
        {"3723.2475", "S", -37.3874588f},
        {"4809.1222", "N", 48.1520386f},  // rounded at each step; 48.1520348 if rounded once
        {"0000.0000", "N", 0.0f},
        {"07.5", "N", 0.125f},          // no degree digits
        {"4860.000", "N", 49.0f},       // minutes of 60 are not refused
        {"36000.0000", "N", 360.0f},    // nor results outside a latitude
        {"4807.038", "North", 48.1172981f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.coordinate) + " " + c.hemisphere);
        // Exact: the figures are those of 32-bit arithmetic in this order.
        EXPECT_EQ(NMEA::position(std::string(c.coordinate), std::string(c.hemisphere)), c.degrees);
    }
}

TEST(NMEAPosition, UnusableInputGivesTheNoPositionValue)
{
    const struct {
        const char* name;
        Text coordinate;
        Text hemisphere;
    } cases[] = {
        {"too short", "48", "N"},
        {"no dot", "4807", "N"},
        {"empty", "", "N"},
        {"missing coordinate", std::nullopt, "N"},
        {"one character before the dot", "1.5", "N"},
        {"nothing before the dot", ".55", "N"},
        {"non-ASCII character before the dot counts once", "\xC3\xA9.5", "N"},
        {"empty hemisphere", "4807.038", ""},
        {"missing hemisphere", "4807.038", std::nullopt},
        {"lower-case hemisphere", "4807.038", "n"},
        {"other letter", "4807.038", "X"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(NMEA::position(c.coordinate, c.hemisphere), kNoPosition);
    }
}

TEST(NMEAPosition, ReadsTheLeadingDecimalNumberOfEachPart)
{
    const struct {
        const char* name;
        const char* coordinate;
        float degrees;
    } cases[] = {
        // Each part is read like the C library's number reading, under the C locale.
        {"leading blank", " 4807.038", 48.1172981f},
        {"plus sign", "+4807.038", 48.1172981f},
        {"junk after the fraction", "4807.038,x", 48.1172981f},
        {"degrees that are no number", "ab07.5", 7.5f / 60.0f},
        {"minutes that are no number", "48xx.5", 48.0f + 0.5f / 60.0f},
        {"infinity is no decimal number", "inf07.5", 7.5f / 60.0f},
        {"hexadecimal reads as its leading zero", "0x107.5", 7.5f / 60.0f},
        {"exponent in the degrees", "1e207.5", 100.0f + 7.5f / 60.0f},
        {"sign inside the minutes", "48-1.5", 48.0f + (0.5f + -1.0f) / 60.0f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(NMEA::position(std::string(c.coordinate), std::string("N")), c.degrees);
    }
}

TEST(NMEAPosition, HugeDegreesOverflowToInfinityNotToAValidCoordinate)
{
    const float huge = NMEA::position(std::string("1e4007.5"), std::string("W"));
    EXPECT_TRUE(std::isinf(huge) && huge < 0);
    const float tiny = NMEA::position(std::string("1e-6007.5"), std::string("N"));
    EXPECT_EQ(tiny, 7.5f / 60.0f);
}
