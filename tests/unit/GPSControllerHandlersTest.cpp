// SPDX-License-Identifier: BSD-2-Clause
// The six sentence handlers and the catch-all, driven directly on the main thread.

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <set>

#include <gtest/gtest.h>

#include "app/SpeedFormatter.h"
#include "instruments/SkyPlotView.h"
#include "serial/PortDiscovery.h"
#include "serial/Serial.h"
#include "nmea/SentenceTable.h"
#include "unit/GPSControllerTestSupport.h"

using controllertest::MainWindow;
using platform::Color;

namespace {

class GPSControllerHandlersTest : public ::testing::Test {
protected:
    fakes::FakePlatform platform;
    MainWindow w;

    void SetUp() override
    {
        // A port so that the settings drawer has a device; nothing is opened here.
        PortDiscovery::setDeviceRoots("/nonexistent-sys", "/nonexistent-dev");
        PortDiscovery::clearExtraPorts();
        PortDiscovery::addExtraPort("/dev/ttyTEST0");
        platform.bundle.entries = {{"GPS", "GPS"},         {"DGPS", "DGPS"},
                                   {"Invalid", "Invalid"}, {"Automatic", "Auto"},
                                   {"Manual", "Manual"},   {"NoFix", "No Fix"},
                                   {"2D", "2D"},           {"3D", "3D"}};
        w.wakeDrawers();
    }
    void TearDown() override { PortDiscovery::clearExtraPorts(); }

    GPSController& c() { return *w.controller; }
};

TEST_F(GPSControllerHandlersTest, EveryHandledTypeLightsGreenAndEchoesItsSentence)
{
    const char* sentences[] = {
        "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,",
        "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W",
        "$GPGLL,4916.45,N,12311.12,W,225444,A",
        "$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K",
        "$GPGSV,1,1,01,07,79,048,42",
        "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1",
        "$GNGNS,014035.00,4332.69262,S,17235.48549,E,RR,13,0.9,25.63,11.24,,",
        "$GPZDA,201530.00,04,07,2002,00,00",
        "$HEHDT,274.07,T",
    };
    std::set<std::string> types;
    for (const char* text : sentences) {
        SCOPED_TRACE(text);
        types.insert(std::string(text + 3, 3));
        w.dataReady.drawDataReady(0);
        w.monitorText.clear();
        w.handle(text);
        EXPECT_EQ(w.dataReady.dataReadyState(), 2u);
        const auto lines = w.monitorLines();
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].first, text);
        EXPECT_EQ(lines[0].second, Color::Green);
    }
    const auto decodable = std::count_if(sentenceTable().begin(), sentenceTable().end(),
                                         [](const SentenceKind& kind) { return kind.decode != nullptr; });
    EXPECT_EQ(types.size(), static_cast<std::size_t>(decodable)) << "a sample for every decoded type of the table";
}

TEST_F(GPSControllerHandlersTest, RefusedSentencesShowYellowWithTheReasonAndChangeNothing)
{
    platform.bundle.entries["SentenceRejected"] = "rejected";
    platform.bundle.entries["DecodeTooFewFields"] = "too few fields";
    platform.bundle.entries["DecodeBadNumber"] = "not a valid number";
    w.handle("$GPGSV,1,1,01,07,79,048,42");
    w.monitorText.clear();

    w.handle("$GPGSV");
    w.handle("$GPGSV,2,3,08,09,45,100,40");
    EXPECT_EQ(w.dataReady.dataReadyState(), 1u);
    const auto lines = w.monitorLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].first, "$GPGSV  <- rejected: too few fields");
    EXPECT_EQ(lines[1].first, "$GPGSV,2,3,08,09,45,100,40  <- rejected: not a valid number (2)");
    EXPECT_EQ(lines[1].second, Color::Yellow);
    EXPECT_EQ(w.satellites.satellite(0)->number(), 7);
    EXPECT_EQ(w.satellites.satellite(1)->number(), 0);
}

// One bad or missing position field costs the position only: time, fix and altitude apply,
// the lamp is green, and the monitor says under the sentence what was left out.
TEST_F(GPSControllerHandlersTest, ABadPositionFieldDropsOnlyThePosition)
{
    platform.bundle.entries["FieldIgnored"] = "field ignored";
    platform.bundle.entries["DecodeBadLatitude"] = "latitude out of range";
    platform.bundle.entries["DecodePartialPosition"] = "position incomplete";
    w.handle("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,");
    w.monitorText.clear();

    const std::string gga = "$GPGGA,123520,4899.999,N,01131.000,E,2,08,0.9,600.0,M,46.9,M,,";
    w.handle(gga);
    EXPECT_EQ(w.dataReady.dataReadyState(), 2u);
    EXPECT_EQ(w.utc.text, "12:35:20");
    EXPECT_EQ(c().fix(), 2);
    EXPECT_FLOAT_EQ(w.satellites.altitude(), 600.0f * 3.2808399200439453f);
    EXPECT_FLOAT_EQ(*w.latitude.value, 48.1172981f) << "no new place shown";

    w.handle("$GPRMC,123521,A,4807.038,,01131.000,E,022.4,084.4,230394,003.1,W");
    EXPECT_EQ(w.dataReady.dataReadyState(), 2u);
    EXPECT_EQ(w.utc.text, "12:35:21");
    EXPECT_FLOAT_EQ(*w.sog.value, 22.4f);

    const auto lines = w.monitorLines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], std::make_pair(gga, Color::Green));
    EXPECT_EQ(lines[1].first, "  <- field ignored: latitude out of range (2)");
    EXPECT_EQ(lines[3].first, "  <- field ignored: position incomplete (4)");
}

TEST_F(GPSControllerHandlersTest, ShortWellFormedSentencesAreHandled)
{
    w.handle("$GPGLL,4916.45,N,12311.12,W");
    EXPECT_EQ(w.dataReady.dataReadyState(), 2u);
    ASSERT_TRUE(w.latitude.value.has_value());
    EXPECT_FLOAT_EQ(*w.latitude.value, 49.2741661f);

    w.handle("$GPGGA,123519,4807.038,N,01131.000,E,2");
    w.handle("$GPGSA,A,3,04,05,09");
    EXPECT_EQ(w.dataReady.dataReadyState(), 2u);
    EXPECT_EQ(w.fix.text, "DGPS-Auto-3D");
    EXPECT_EQ(c().receiverState().fixType(), 3);
}

TEST_F(GPSControllerHandlersTest, AbsurdValuesLeaveTheirReadOutsUnchanged)
{
    w.handle("$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W");
    w.handle("$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1");
    w.handle("$GPRMC,99:99:99,A,4807.038,N,01131.000,E,1e30,365.0,230394,003.1,W");
    w.handle("$GPRMC,ab<b>x,A,4807.038,N,01131.000,E,-12.5,084.4,230394,003.1,W");
    w.handle("$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.0,1e30,2.1");
    EXPECT_EQ(w.utc.text, "12:35:19");
    EXPECT_FLOAT_EQ(*w.sog.value, 22.4f);
    EXPECT_FLOAT_EQ(*w.cog.value, 84.4f);
    EXPECT_EQ(w.compass.heading(), 84u);
    EXPECT_FLOAT_EQ(w.satellites.hDop(), 1.3f);  // kept from before, not 1e30
    EXPECT_FLOAT_EQ(w.satellites.pDop(), 2.0f);
}

TEST_F(GPSControllerHandlersTest, UnknownTypesShowYellowOnlyWhenTheyStartWithDollar)
{
    w.handle("$GPGST,223745.00,228650,2.5,2.4,126,0.98,1.0,3.1");
    EXPECT_EQ(w.dataReady.dataReadyState(), 1u);
    auto lines = w.monitorLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].first, "$GPGST,223745.00,228650,2.5,2.4,126,0.98,1.0,3.1");
    EXPECT_EQ(lines[0].second, Color::Yellow);

    w.dataReady.drawDataReady(0);
    w.handle("!AIVDM,1,1,,B,177KQJ5000G?tO`K>RA1wUbN0TKH,0");
    EXPECT_EQ(w.dataReady.dataReadyState(), 0u);
    EXPECT_EQ(w.monitorLines().size(), 1u);
}

TEST_F(GPSControllerHandlersTest, MonitorEchoIsValidUtf8ForHighBytes)
{
    ByteBuffer buffer = controllertest::sentence("$GPTXT,caf\xE9");
    c().handleVerifiedSentence(buffer);  // a type the table ignores
    EXPECT_EQ(w.monitorText.string(), "$GPTXT,caf\xC3\xA9\n");
}

TEST_F(GPSControllerHandlersTest, GgaFixQualityDecidesWhetherThePositionIsShown)
{
    w.handle("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,");
    EXPECT_EQ(c().fix(), 1);
    ASSERT_TRUE(w.latitude.value.has_value());
    EXPECT_FLOAT_EQ(*w.latitude.value, 48.1172981f);
    EXPECT_FLOAT_EQ(*w.longitude.value, 11.5166664f);
    EXPECT_EQ(w.utc.text, "12:35:19");
    EXPECT_FLOAT_EQ(w.satellites.altitude(), 545.4f * 3.2808399200439453f);

    // Quality 0: time and altitude still update, the position does not.
    w.handle("$GPGGA,123600,5000.000,N,00800.000,E,0,00,,100.0,M,,M,,");
    EXPECT_EQ(c().fix(), 0);
    EXPECT_EQ(w.utc.text, "12:36:00");
    EXPECT_FLOAT_EQ(w.satellites.altitude(), 100.0f * 3.2808399200439453f);
    EXPECT_FLOAT_EQ(*w.latitude.value, 48.1172981f);

    // Quality 2 (differential) is taken as the fix directly.
    w.handle("$GPGGA,123601,5000.000,S,00800.000,W,2,08,0.9,,M,,M,,");
    EXPECT_EQ(c().fix(), 2);
    EXPECT_FLOAT_EQ(*w.latitude.value, -50.0f);
    EXPECT_FLOAT_EQ(*w.longitude.value, -8.0f);
    EXPECT_FLOAT_EQ(w.satellites.altitude(), 100.0f * 3.2808399200439453f);  // empty: kept
}

TEST_F(GPSControllerHandlersTest, StatusLettersOfRmcAndGll)
{
    w.handle("$GPRMC,081836,V,3751.65,S,14507.36,E,000.0,360.0,130998,011.3,E");
    EXPECT_EQ(c().fix(), 0);
    EXPECT_EQ(w.utc.text, "08:18:36");
    EXPECT_FALSE(w.latitude.value.has_value());

    w.handle("$GPGLL,4916.45,N,12311.12,W,225444,");  // empty status counts as valid
    EXPECT_EQ(c().fix(), 1);
    EXPECT_EQ(w.utc.text, "22:54:44");
    ASSERT_TRUE(w.longitude.value.has_value());
    EXPECT_FLOAT_EQ(*w.longitude.value, -123.185333f);
}

TEST_F(GPSControllerHandlersTest, PositionsOutsideTheValidRangeAreNotShown)
{
    struct Case {
        const char* name;
        const char* latitude;
        const char* latitudeHemisphere;
        const char* longitude;
        const char* longitudeHemisphere;
        bool shown;
    };
    const Case cases[] = {
        {"inside", "8959.999", "N", "17959.999", "W", true},
        {"latitude exactly 90", "9000.000", "N", "00100.000", "E", false},
        {"latitude exactly -90", "9000.000", "S", "00100.000", "E", false},
        {"longitude exactly 180", "4500.000", "N", "18000.000", "E", false},
        {"longitude exactly -180", "4500.000", "N", "18000.000", "W", false},
        {"empty hemisphere", "4500.000", "", "00100.000", "E", false},
        {"lower-case hemisphere", "4500.000", "n", "00100.000", "E", false},
        {"empty latitude", "", "N", "00100.000", "E", false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        w.latitude.value.reset();
        w.longitude.value.reset();
        w.handle(std::string("$GPGGA,120000,") + k.latitude + "," + k.latitudeHemisphere + "," + k.longitude + "," +
                 k.longitudeHemisphere + ",1,08,0.9,545.4,M,46.9,M,,");
        EXPECT_EQ(w.latitude.value.has_value(), k.shown);
        EXPECT_EQ(w.longitude.value.has_value(), k.shown);
    }
}

TEST_F(GPSControllerHandlersTest, UtcTextIsCutToWholeSeconds)
{
    w.handle("$GPGGA,123519.00,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,");
    EXPECT_EQ(w.utc.text, "12:35:19");
    w.handle("$GPGGA,12352,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,");
    EXPECT_EQ(w.utc.text, "12:35:19");  // five characters: left alone
}

TEST_F(GPSControllerHandlersTest, CourseFollowsOnlyAboveHalfAKnot)
{
    w.handle("$GPVTG,045.0,T,,M,10.0,N,,K");
    EXPECT_FLOAT_EQ(c().cog(), 45.0f);
    EXPECT_EQ(w.compass.heading(), 45u);

    w.handle("$GPVTG,090.0,T,,M,0.4,N,,K");
    EXPECT_FLOAT_EQ(*w.sog.value, 0.4f);
    EXPECT_FLOAT_EQ(*w.cog.value, 45.0f);
    EXPECT_EQ(w.compass.heading(), 45u);

    w.handle("$GPVTG,090.9,T,,M,0.5,N,,K");
    EXPECT_FLOAT_EQ(*w.cog.value, 90.9f);
    EXPECT_EQ(w.compass.heading(), 90u);
    EXPECT_TRUE(w.compass.enabled());

    // No speed in this sentence: the kept 0.5 knots decide.
    w.handle("$GPVTG,180.0,T,,M,,N,,K");
    EXPECT_FLOAT_EQ(c().sog(), 0.5f);
    EXPECT_EQ(w.compass.heading(), 180u);

    // RMC with status V: its speed and course are shown but do not turn the compass.
    w.handle("$GPRMC,081836,V,,,,,12.0,270.5,130998,,");
    EXPECT_FLOAT_EQ(c().sog(), 12.0f);
    EXPECT_EQ(w.compass.heading(), 180u);
}

// The edge case of a void fix: 10 knots (11.5 MPH) and 90 degrees are shown, greyed as not
// from a valid fix, and stay greyed until a valid fix says otherwise.
TEST_F(GPSControllerHandlersTest, VoidFixSpeedAndCourseAreShownGreyed)
{
    w.handle("$GPRMC,081835,A,3751.65,S,14507.36,E,5.0,045.0,130998,,");
    ASSERT_FALSE(w.sog.stale);
    w.handle("$GPRMC,081836,V,,,,,10.0,090.0,130998,,");
    ASSERT_TRUE(w.sog.value && w.cog.value);
    EXPECT_FLOAT_EQ(*w.sog.value, 10.0f);
    EXPECT_FLOAT_EQ(*w.cog.value, 90.0f);
    SpeedFormatter miles;
    EXPECT_EQ(miles.format(*w.sog.value), "11.5 MPH");
    EXPECT_TRUE(w.sog.stale);
    EXPECT_TRUE(w.cog.stale);
    EXPECT_EQ(w.compass.heading(), 45u);
    EXPECT_FALSE(c().receiverState().speedKnots()) << "no motion of a fix";

    c().readouts().freshnessTimer();
    EXPECT_TRUE(w.sog.stale) << "the freshness watch keeps them greyed";
    EXPECT_TRUE(w.cog.stale);

    w.handle("$GPRMC,081837,A,3751.65,S,14507.36,E,10.0,090.0,130998,,");
    EXPECT_FALSE(w.sog.stale);
    EXPECT_FALSE(w.cog.stale);
    c().readouts().freshnessTimer();
    EXPECT_FALSE(w.sog.stale);
    EXPECT_EQ(w.compass.heading(), 90u);
}

// An RMC of a new epoch that does not supply speed or course (empty, or a value refused)
// blanks them rather than showing the last epoch's under the new time.
TEST_F(GPSControllerHandlersTest, SpeedAndCourseTheEpochDoesNotSupplyAreBlank)
{
    const char* next[] = {
        "$GPRMC,120001,A,4807.038,N,01131.000,E,,,230394,,",
        "$GPRMC,120001,A,4807.038,N,01131.000,E,1e30,nan,230394,,",
        "$GPRMC,120001,A,4807.038,N,01131.000,E,-5,inf,230394,,",
    };
    for (const char* text : next) {
        SCOPED_TRACE(text);
        w.handle("$GPRMC,120000,A,4807.038,N,01131.000,E,10.0,90.0,230394,,");
        ASSERT_TRUE(w.sog.value && w.cog.value);
        w.handle(text);
        EXPECT_EQ(w.utc.text, "12:00:01");
        EXPECT_FALSE(w.sog.value.has_value());
        EXPECT_FALSE(w.cog.value.has_value());
    }

    // VTG and RMC of one epoch: the RMC without them leaves the VTG's standing.
    w.handle("$GPGGA,120002,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,");
    w.handle("$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K,A");
    w.handle("$GPRMC,120002,A,4807.038,N,01131.000,E,,,230394,,");
    ASSERT_TRUE(w.sog.value && w.cog.value);
    EXPECT_FLOAT_EQ(*w.sog.value, 5.5f);
    EXPECT_FLOAT_EQ(*w.cog.value, 54.7f);
}

TEST_F(GPSControllerHandlersTest, CompassHeadingStaysWithinTheCardForOddCourses)
{
    c().readouts().setCogSog(360.0f, 5.0f);
    EXPECT_EQ(w.compass.heading(), 0u);
    c().readouts().setCogSog(-10.5f, 5.0f);
    EXPECT_EQ(w.compass.heading(), 350u);
    c().readouts().setCogSog(725.0f, 5.0f);
    EXPECT_EQ(w.compass.heading(), 5u);
    c().readouts().setCogSog(std::numeric_limits<float>::infinity(), 5.0f);  // no heading at all
    EXPECT_EQ(w.compass.heading(), 5u);
}

TEST_F(GPSControllerHandlersTest, GsaFixTexts)
{
    w.handle("$GPGGA,123519,4807.038,N,01131.000,E,2,08,0.9,545.4,M,46.9,M,,");
    w.handle("$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1");
    EXPECT_EQ(w.fix.text, "DGPS-Auto-3D");
    EXPECT_FLOAT_EQ(w.satellites.pDop(), 2.5f);
    EXPECT_FLOAT_EQ(w.satellites.hDop(), 1.3f);
    EXPECT_FLOAT_EQ(w.satellites.vDop(), 2.1f);

    w.handle("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,");
    w.handle("$GPGSA,M,2,04,05,,09,12,,,24,,,,,,,");
    EXPECT_EQ(w.fix.text, "GPS-Manual-2D");
    EXPECT_FLOAT_EQ(w.satellites.pDop(), 0.0f);
    EXPECT_FLOAT_EQ(w.satellites.hDop(), 0.0f);
    EXPECT_FLOAT_EQ(w.satellites.vDop(), 0.0f);

    w.handle("$GPGSA,A,1,,,,,,,,,,,,,,,");
    EXPECT_EQ(w.fix.text, "Invalid-No Fix");
    EXPECT_EQ(c().fix(), 0);

    // An empty fix type is shown as it is; the fix itself is left alone.
    w.handle("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,");
    w.handle("$GPGSA,A,,,,,,,,,,,,,,,,");
    EXPECT_EQ(w.fix.text, "GPS-Auto-");
    EXPECT_EQ(c().fix(), 1);

    // Without mode or fix type nothing changes.
    w.handle("$GPGSA,A");
    EXPECT_EQ(w.fix.text, "GPS-Auto-");
}

TEST_F(GPSControllerHandlersTest, GsaChoosesMetresOnlyForKilometerUnits)
{
    for (int units : {0, 1, 2}) {
        SCOPED_TRACE(units);
        w.unitsBox.selectItemAtIndex(units);
        w.handle("$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1");
        EXPECT_EQ(w.satellites.meters(), units == 1);
    }
}

TEST_F(GPSControllerHandlersTest, GsvCyclesFillSlotsPerConstellation)
{
    auto number = [&](std::uint32_t index) { return w.satellites.satellite(index)->number(); };

    w.handle("$GPGSV,3,1,11,01,40,083,46,02,17,308,41,12,07,344,39,14,22,228,45");
    w.handle("$GPGSV,3,2,11,15,10,100,30,16,20,200,31,17,30,300,32,18,40,040,33");
    w.handle("$GPGSV,3,3,11,19,50,050,34,20,60,060,35,21,70,070,36");
    const std::int32_t expected[] = {1, 2, 12, 14, 15, 16, 17, 18, 19, 20, 21, 0};
    for (std::uint32_t i = 0; i < 12; ++i) EXPECT_EQ(number(i), expected[i]) << i;
    EXPECT_EQ(w.satellites.satellite(0)->elevation(), 40);
    EXPECT_EQ(w.satellites.satellite(0)->degrees(), 83);

    // Another constellation's cycle adds to the picture and clears nothing.
    w.handle("$GLGSV,1,1,01,70,10,100,30");
    EXPECT_EQ(c().receiverState().satellitesInView(), 12u);
    for (std::uint32_t i = 0; i < 11; ++i) EXPECT_EQ(number(i), expected[i]) << i;

    // A cycle with a lost sentence drops the last cycle's satellites it did not list; a whole
    // one replaces the GPS satellites.
    w.handle("$GPGSV,3,1,11,03,40,083,46,04,17,308,41,05,07,344,39,06,22,228,45");
    w.handle("$GPGSV,3,3,11,19,50,050,34,20,60,060,35,21,70,070,36");
    EXPECT_EQ(c().receiverState().satellitesInView(), 8u);
    w.handle("$GPGSV,1,1,02,07,79,048,42,08,10,100,20");
    EXPECT_EQ(c().receiverState().satellitesInView(), 3u);
    EXPECT_EQ(number(0), 7);
    EXPECT_EQ(number(1), 8);
    EXPECT_EQ(number(2), 6);  // GLONASS 70 is slot 6 of its system
    EXPECT_EQ(number(3), 0);

    // A block with empty fields is stored with no place and no signal.
    w.handle("$GPGSV,1,1,01,09,,,");
    EXPECT_EQ(number(0), 9);
    EXPECT_EQ(w.satellites.satellite(0)->elevation(), Satellite::kNoPlace);
    EXPECT_EQ(w.satellites.satellite(0)->degrees(), Satellite::kNoPlace);
}

TEST_F(GPSControllerHandlersTest, GsvRedrawsOnlyWhenTheCycleIsComplete)
{
    SkyPlotView sky;
    sky.setHost(&w.skyHost);
    w.satellites.setSatelliteView(&sky);
    struct Step {
        const char* sentence;
        int redraws;
    };
    const Step steps[] = {
        {"$GPGSV,3,1,11,01,40,083,46,02,17,308,41,12,07,344,39,14,22,228,45", 0},
        {"$GPGSV,3,2,11,15,10,100,30,16,20,200,31,17,30,300,32,18,40,040,33", 0},
        {"$GPGSV,3,3,11,19,50,050,34,20,60,060,35,21,70,070,36", 1},
        {"$GPGSV,2,2,05,30,10,010,20", 1},  // no sentence 1 before it, redrawn all the same
        {"$GPGSV,4,4,13,31,10,010,20", 1},  // past the table: nothing stored, still redrawn
        {"$GPGSV", 0},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.sentence);
        const int before = w.skyHost.redrawRequests;
        w.handle(step.sentence);
        EXPECT_EQ(w.skyHost.redrawRequests - before, step.redraws);
    }
    w.satellites.setSatelliteView(nullptr);
}

TEST_F(GPSControllerHandlersTest, GsvSentenceNumbersOfAnySizeAreHarmless)
{
    const char* sentences[] = {
        "$GPGSV,1,4294967297,01,07,79,048,42",   // wraps to 1 in 32 bits
        "$GPGSV,1,2147483647,01,07,79,048,42",   // 4(n-1) overflows 32 bits
        "$GPGSV,1,-2147483648,01,07,79,048,42",
        "$GPGSV,1,0,01,07,79,048,42",            // index -4
        "$GPGSV,1,99999999999999999999,01,07,79,048,42",
    };
    w.handle("$GPGSV,1,1,01,05,10,010,20");
    for (const char* text : sentences) {
        SCOPED_TRACE(text);
        w.handle(text);
        for (std::uint32_t i = 0; i < 12; ++i) EXPECT_NE(w.satellites.satellite(i)->number(), 7);
    }
    EXPECT_EQ(w.satellites.satellite(0)->number(), 5);
}

}  // namespace
