// SPDX-License-Identifier: BSD-2-Clause
// The receiver state as gpsd-style JSON lines: the shape scripts written for gpsd read.
#include <clocale>

#include <gtest/gtest.h>

#include "stream/GpsdReport.h"
#include "nmea/NMEA.h"
#include "receiver/ReceiverState.h"
#include "nmea/SentenceFields.h"
#include "nmea/SentenceTable.h"
#include "tests/fakes/GermanLocale.h"

namespace {

void feed(ReceiverState& state, const char* text)
{
    ByteBuffer line(text, text + std::char_traits<char>::length(text));
    line.push_back(0);
    ASSERT_TRUE(NMEA::checkSumValid(line)) << text;
    const auto fields = SentenceFields::split(line);
    ASSERT_TRUE(fields);
    const SentenceKind* kind = sentenceKind(fields->type());
    ASSERT_NE(kind, nullptr);
    const Decoded decoded = kind->decode(*fields);
    ASSERT_TRUE(decoded.record) << text;
    state.apply(*decoded.record, 0.0);
}

}  // namespace

TEST(GpsdReportTest, TpvAndSkyCarryWhatTheReceiverSaidAndNothingElse)
{
    ReceiverState state;
    EXPECT_EQ(gpsdreport::tpv(state), R"({"class":"TPV","mode":0})");

    // Printed the C way even under a decimal-comma locale.
    const bool german = testlocale::switchToGerman(LC_NUMERIC);
    feed(state, "$GPRMC,225446,A,4916.45,N,12311.12,W,000.5,054.7,191194,020.3,E*68\r\n");
    feed(state, "$GPGGA,225446,4916.45,N,12311.12,W,1,08,0.9,545.4,M,46.9,M,,*51\r\n");
    feed(state, "$GPGSA,A,3,04,05,,,,,,,,,,,2.5,1.3,2.1*35\r\n");
    feed(state, "$GPGSV,1,1,02,04,40,083,46,05,17,308,*7A\r\n");
    EXPECT_EQ(gpsdreport::tpv(state),
              R"({"class":"TPV","time":"1994-11-19T22:54:46.000Z","mode":3,)"
              R"("lat":49.274166667,"lon":-123.185333333,"altMSL":545.400,)"
              R"("speed":0.257,"track":54.7000,"altHAE":592.3000,"geoidSep":46.900})");
    EXPECT_EQ(gpsdreport::sky(state),
              R"({"class":"SKY","hdop":1.30,"vdop":2.10,"pdop":2.50,"nSat":2,"uSat":2,)"
              R"("satellites":[{"PRN":4,"gnssid":0,"svid":4,"el":40,"az":83,"ss":46,"used":true},)"
              R"({"PRN":5,"gnssid":0,"svid":5,"el":17,"az":308,"used":true}]})");
    if (german) testlocale::restore(LC_NUMERIC);
}

TEST(GpsdReportTest, PrnFollowsGpsdsCombinedRanges)
{
    EXPECT_EQ(gpsdreport::gpsdPrn(Constellation::GLONASS, 1), 65);
    EXPECT_EQ(gpsdreport::gpsdPrn(Constellation::Galileo, 36), 336);
    EXPECT_EQ(gpsdreport::gpsdPrn(Constellation::BeiDou, 7), 407);
    EXPECT_EQ(gpsdreport::gpsdPrn(Constellation::QZSS, 2), 194);
    EXPECT_EQ(gpsdreport::quoted("a\"b\\\n\x01"), R"("a\"b\\\n\u0001")");
}

// What gpsd 3.22's gpsdecode writes for the same lines: no track for an epoch without one, no
// report with the old date when the new one is bad. (It writes "speed":0.000 for an empty
// speed field; unknown is left out here, as gpsd does for track.)
TEST(GpsdReportTest, AValueTheEpochDoesNotSupplyIsLeftOut)
{
    ReceiverState state;
    feed(state, "$GPRMC,120000,A,4807.038,N,01131.000,E,10.0,90.0,230394,,*1B\r\n");
    EXPECT_EQ(gpsdreport::tpv(state),
              R"({"class":"TPV","time":"1994-03-23T12:00:00.000Z","mode":2,)"
              R"("lat":48.117300000,"lon":11.516666667,"speed":5.144,"track":90.0000})");
    feed(state, "$GPRMC,120001,A,4807.038,N,01131.000,E,,,230394,,*12\r\n");
    EXPECT_EQ(gpsdreport::tpv(state),
              R"({"class":"TPV","time":"1994-03-23T12:00:01.000Z","mode":2,)"
              R"("lat":48.117300000,"lon":11.516666667})");
    feed(state, "$GPRMC,120002,A,4807.038,N,01131.000,E,10.0,90.0,991394,,*19\r\n");
    EXPECT_EQ(gpsdreport::tpv(state),
              R"({"class":"TPV","mode":2,"lat":48.117300000,"lon":11.516666667,"speed":5.144,"track":90.0000})");

    feed(state, "$GPGSV,1,1,02,07,,,42,08,45,100,30*41\r\n");
    EXPECT_EQ(gpsdreport::sky(state),
              R"({"class":"SKY","nSat":2,"uSat":0,"satellites":[{"PRN":7,"gnssid":0,"svid":7,"ss":42,"used":false},)"
              R"({"PRN":8,"gnssid":0,"svid":8,"el":45,"az":100,"ss":30,"used":false}]})");
}

// A time a hair before the full second must not print a 60th second (nor round into the
// next minute, hour or day without carrying them): the fraction is cut at milliseconds.
TEST(GpsdReportTest, TimeNeverShowsASecondThatDoesNotExist)
{
    const auto rmc = [](const std::string& time, const std::string& date) {
        const std::string body = "GPRMC," + time + ",A,4916.45,N,12311.12,W,000.5,054.7," + date + ",020.3,E";
        unsigned sum = 0;
        for (const char c : body) sum ^= static_cast<unsigned char>(c);
        char tail[8];
        std::snprintf(tail, sizeof tail, "*%02X\r\n", sum);
        return "$" + body + tail;
    };
    struct Case {
        const char* time;
        const char* date;
        const char* iso;
    };
    const Case cases[] = {
        {"123559.9996", "081226", "2026-12-08T12:35:59.999Z"},
        {"235959.9999", "311299", "1999-12-31T23:59:59.999Z"},
        {"123559.999", "081226", "2026-12-08T12:35:59.999Z"},
        {"123559.001", "081226", "2026-12-08T12:35:59.001Z"},
        {"123500.07", "081226", "2026-12-08T12:35:00.070Z"},
        {"235960.5", "311216", "2016-12-31T23:59:60.500Z"},  // a leap second stays one
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.time);
        ReceiverState state;
        feed(state, rmc(c.time, c.date).c_str());
        const std::string tpv = gpsdreport::tpv(state);
        EXPECT_NE(tpv.find(std::string("\"time\":\"") + c.iso + "\""), std::string::npos) << tpv;
    }
}
