// SPDX-License-Identifier: BSD-2-Clause
#include <clocale>
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "app/CourseFormatter.h"
#include "app/PositionFormatter.h"
#include "app/SpeedFormatter.h"
#include "fakes/FakeControls.h"
#include "fakes/GermanLocale.h"

namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

TEST(PositionFormatterTest, DegreesAndDecimalMinutesWithHemisphere)
{
    PositionFormatter latitude(0, 1);
    PositionFormatter aligned(0, 1);
    aligned.setAlign(true);
    PositionFormatter longitude(1, 1);
    longitude.setAlign(true);  // no effect on a longitude

    struct Case {
        const PositionFormatter* formatter;
        float value;
        const char* expected;
    };
    const Case cases[] = {
        {&latitude, 37.7749f, "37\u00BA46.49'N"},
        {&aligned, 37.7749f, "  37\u00BA46.49'N"},
        {&aligned, -33.8688f, "  33\u00BA52.13'S"},
        {&latitude, 0.0f, "00\u00BA00.00'N"},
        {&latitude, -0.0f, "00\u00BA00.00'N"},
        // Minutes that round up to 60.00 carry into the degrees, on either side of zero.
        {&latitude, 5.999999f, "06\u00BA00.00'N"},
        {&aligned, -89.99999f, "  90\u00BA00.00'S"},
        {&longitude, -179.99992f, "180\u00BA00.00'W"},
        {&longitude, 9.99991f, "009\u00BA59.99'E"},
        {&longitude, -122.4194f, "122\u00BA25.16'W"},
        {&longitude, 151.2093f, "151\u00BA12.56'E"},
        {&longitude, 0.0f, "000\u00BA00.00'E"},
        {&longitude, -0.0001f, "000\u00BA00.01'W"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(c.formatter->formatPosition(c.value), c.expected);
        EXPECT_EQ(c.formatter->format(c.value), c.expected);
    }
}

TEST(PositionFormatterTest, TheDegreeMarkIsValidUtf8)
{
    const auto text = PositionFormatter(0, 1).formatPosition(1.5f);
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(text->substr(2, 2), "\xC2\xBA");
}

TEST(PositionFormatterTest, NoTextForOtherFormatsOrNonNumbersAndEmptyForNoValue)
{
    PositionFormatter formatter(0, 2);
    EXPECT_EQ(formatter.style(), 2);
    EXPECT_FALSE(formatter.align());
    EXPECT_EQ(formatter.formatPosition(10.0f), std::nullopt);
    formatter.setStyle(1);
    EXPECT_EQ(formatter.formatPosition(kNaN), std::nullopt);
    EXPECT_EQ(formatter.formatPosition(kInf), std::nullopt);
    EXPECT_EQ(formatter.formatPosition(-3e9f), std::nullopt);
    EXPECT_EQ(formatter.format(std::nullopt), "");

    std::optional<float> value = 1.0f;
    std::string error = "untouched";
    EXPECT_FALSE(formatter.getObjectValue(value, "37\u00BA46.49'N", &error));
    EXPECT_EQ(value, 1.0f);
    EXPECT_EQ(error, "untouched");
}

TEST(SpeedFormatterTest, SpeedInTheChosenUnitWithSinglePrecisionSteps)
{
    struct Case {
        std::uint32_t units;
        float knots;
        const char* expected;
    };
    const Case cases[] = {
        {0, 10.0f, "11.5 MPH"},
        {1, 10.0f, "18.5 KM/H"},
        {2, 10.0f, "10.0 KNOTS"},
        {7, 10.0f, "10.0 KNOTS"},
        {0, 0.0f, "0.0 MPH"},
        {0, -2.0f, "-2.3 MPH"},  // no clamping
        // Where single and double precision part ways in the tenths.
        {0, 330.0f, "379.8 MPH"},
        {1, 111.26f, "206.1 KM/H"},
        {1, 238.8f, "442.2 KM/H"},
    };
    SpeedFormatter formatter;
    EXPECT_EQ(formatter.format(10.0f), "11.5 MPH");  // starts in miles per hour
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        formatter.setUnits(c.units);
        EXPECT_EQ(formatter.format(c.knots), c.expected);
    }
    EXPECT_EQ(formatter.format(std::nullopt), "");
}

TEST(CourseFormatterTest, WholeDegreesWithOneWrapStepEachWay)
{
    struct Case {
        float course;
        const char* expected;
    };
    const Case cases[] = {
        {0.0f, "0\u00BA TRUE"},    {-0.0f, "0\u00BA TRUE"},   {359.5f, "359\u00BA TRUE"},
        {360.0f, "0\u00BA TRUE"},  {-5.0f, "355\u00BA TRUE"}, {725.0f, "365\u00BA TRUE"},
        {-400.0f, "-40\u00BA TRUE"}, {89.99f, "89\u00BA TRUE"},
    };
    CourseFormatter formatter;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(formatter.format(c.course), c.expected);
    }
    EXPECT_EQ(formatter.format(std::nullopt), "");
    EXPECT_EQ(formatter.format(kNaN), std::nullopt);
    EXPECT_EQ(formatter.format(kInf), std::nullopt);
}

TEST(CourseFormatterTest, VariationMarksTheCourseMagneticUntilMagneticIsTurnedOff)
{
    CourseFormatter formatter;
    formatter.setVariation(15.0f);
    EXPECT_EQ(formatter.format(10.0f), "355\u00BA MAG");
    formatter.setVariation(-0.01f);
    EXPECT_EQ(formatter.format(10.0f), "10\u00BA MAG");
    formatter.setVariation(0.009f);
    EXPECT_EQ(formatter.format(10.0f), "9\u00BA TRUE");

    formatter.setVariation(15.0f);
    formatter.setMagnetic(true);  // keeps the variation
    EXPECT_EQ(formatter.variation(), 15.0f);
    formatter.setMagnetic(false);
    EXPECT_EQ(formatter.variation(), 0.0f);
    EXPECT_EQ(formatter.format(10.0f), "10\u00BA TRUE");

    formatter.setMagnetic(true);
    EXPECT_EQ(formatter.format(10.0f), "10\u00BA MAG");
}

TEST(FormatterTest, AFieldShowsTheFormattersTextAndNothingForNoValue)
{
    PositionFormatter latitude(0, 1);
    latitude.setAlign(true);
    fakes::FakeTextField field;
    field.setFormatter(&latitude);
    field.setObjectValue(-33.8688f);
    EXPECT_EQ(field.stringValue(), "  33\u00BA52.13'S");
    field.setObjectValue(std::nullopt);
    EXPECT_EQ(field.stringValue(), "");
}

TEST(FormatterTest, TextsKeepTheDecimalPointUnderACommaLocale)
{
    if (!testlocale::switchToGerman(LC_NUMERIC))
        GTEST_SKIP() << "no locale with a decimal comma available (localedef failed)";
    SpeedFormatter speed;
    const auto speedText = speed.format(10.0f);
    const auto positionText = PositionFormatter(0, 1).formatPosition(37.7749f);
    testlocale::restore(LC_NUMERIC);
    EXPECT_EQ(speedText, "11.5 MPH");
    EXPECT_EQ(positionText, "37\u00BA46.49'N");
}

}  // namespace
