// SPDX-License-Identifier: BSD-2-Clause
#include <clocale>
#include <cmath>

#include <gtest/gtest.h>

#include "fakes/GermanLocale.h"
#include "sources/GgaSentence.h"

namespace {

TEST(GgaSentenceTest, BuildsChecksummedSentencesForEveryQuadrant)
{
    struct Case {
        const char* name;
        GgaPosition position;
        const char* expected;
    };
    GgaPosition munich;
    munich.latitudeDegrees = 48.1173;
    munich.longitudeDegrees = 11.516666666667;
    munich.altitudeMeters = 545.4;
    munich.geoidSeparationMeters = 46.9;
    munich.satellites = 8;
    munich.hdop = 0.9;
    munich.utcSecondsOfDay = 12 * 3600 + 35 * 60 + 19;
    GgaPosition south = munich;
    south.latitudeDegrees = -33.8688;
    south.longitudeDegrees = -151.2093;
    south.quality = 4;
    south.hdop.reset();
    south.utcSecondsOfDay = 86399.996;  // rounds up to the next day's midnight
    GgaPosition carry = munich;
    carry.latitudeDegrees = 9.9999999999;  // 59.9999999' must carry into the degrees
    carry.longitudeDegrees = 0;
    const Case cases[] = {
        {"north east", munich, "$GPGGA,123519.00,4807.03800,N,01131.00000,E,1,08,0.9,545.4,M,46.9,M,,*69\r\n"},
        {"south west", south, "$GPGGA,000000.00,3352.12800,S,15112.55800,W,4,08,,545.4,M,46.9,M,,*49\r\n"},
        {"minutes carry", carry, "$GPGGA,123519.00,1000.00000,N,00000.00000,E,1,08,0.9,545.4,M,46.9,M,,*6A\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(GgaSentence::build(c.position), c.expected);
    }
}

TEST(GgaSentenceTest, RefusesImpossiblePositions)
{
    for (const double latitude : {91.0, -90.5, std::nan("")}) {
        GgaPosition p;
        p.latitudeDegrees = latitude;
        EXPECT_EQ(GgaSentence::build(p), std::nullopt) << latitude;
    }
    GgaPosition p;
    p.longitudeDegrees = 180.01;
    EXPECT_EQ(GgaSentence::build(p), std::nullopt);
}

TEST(GgaSentenceTest, WritesADecimalPointUnderAGermanLocale)
{
    if (!testlocale::switchToGerman(LC_NUMERIC)) GTEST_SKIP() << "no German locale";
    GgaPosition p;
    p.latitudeDegrees = 48.5;
    p.longitudeDegrees = 11.25;
    p.altitudeMeters = 520.25;
    p.hdop = 1.25;
    p.utcSecondsOfDay = 0.5;
    const auto sentence = GgaSentence::build(p);
    testlocale::restore(LC_NUMERIC);
    ASSERT_TRUE(sentence);
    EXPECT_EQ(sentence->substr(0, 58), "$GPGGA,000000.50,4830.00000,N,01115.00000,E,1,00,1.2,520.2");
}

}  // namespace
