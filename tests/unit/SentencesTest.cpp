// SPDX-License-Identifier: BSD-2-Clause
// The typed decoders: one real sentence each and the record it must give, then the values
// a decoder must refuse.

#include <clocale>
#include <string>

#include <gtest/gtest.h>

#include "nmea/SatelliteNumbering.h"
#include "nmea/SentenceTable.h"
#include "fakes/GermanLocale.h"

namespace {

Decoded decode(const std::string& text)
{
    const auto fields = SentenceFields::split(text);
    if (!fields) return Decoded{std::nullopt, DecodeNote{DecodeProblem::UnknownType, 0}};
    return decodeSentence(*fields);
}

template <typename R>
R decodeAs(const std::string& text)
{
    const Decoded decoded = decode(text);
    EXPECT_TRUE(decoded.record.has_value()) << text;
    EXPECT_TRUE(decoded.record && std::holds_alternative<R>(*decoded.record)) << text;
    return decoded.record && std::holds_alternative<R>(*decoded.record) ? std::get<R>(*decoded.record) : R{};
}

TEST(SentenceFields, SplitsOnceWithTalkerAndType)
{
    const auto fields = SentenceFields::split(std::string_view("$GPGGA,1,,3\0tail", 16));
    ASSERT_TRUE(fields);
    EXPECT_EQ(fields->count(), 4u);
    EXPECT_EQ(fields->talker(), "GP");
    EXPECT_EQ(fields->type(), "GGA");
    EXPECT_EQ(fields->field(2), "");
    EXPECT_EQ(fields->field(3), "3");
    EXPECT_EQ(fields->field(4), "");  // past the end reads empty, never out of bounds
    EXPECT_TRUE(SentenceFields::split("$PSRF100,1")->proprietary());
    EXPECT_EQ(SentenceFields::split("$PSRF100,1")->type(), "");
    EXPECT_FALSE(SentenceFields::split("GPGGA,1"));
    EXPECT_FALSE(SentenceFields::split(""));
}

void expectSamples()
{
    const GGA gga = decodeAs<GGA>("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,");
    ASSERT_TRUE(gga.time && gga.position);
    EXPECT_EQ(*gga.time, (UtcTime{12, 35, 19.0}));
    EXPECT_DOUBLE_EQ(gga.position->latitudeDegrees, 48.0 + 7.038 / 60.0);
    EXPECT_DOUBLE_EQ(gga.position->longitudeDegrees, 11.0 + 31.0 / 60.0);
    EXPECT_FLOAT_EQ(gga.position->latitudeDegrees32, 48.1172981f);  // the read-out's digits
    EXPECT_EQ(gga.fixQuality, 1);
    EXPECT_EQ(gga.satellitesUsed, 8);
    EXPECT_EQ(gga.hdop, 0.9f);
    EXPECT_EQ(gga.altitudeMeters, 545.4f);
    EXPECT_EQ(gga.geoidSeparationMeters, 46.9f);

    const RMC rmc = decodeAs<RMC>("$GPRMC,225446.33,A,4916.45,N,12311.12,W,000.5,054.7,191194,020.3,E,A");
    ASSERT_TRUE(rmc.time && rmc.position && rmc.date);
    EXPECT_DOUBLE_EQ(rmc.time->seconds, 46.33);
    EXPECT_EQ(rmc.status, 'A');
    EXPECT_EQ(rmc.mode, 'A');
    EXPECT_DOUBLE_EQ(rmc.position->longitudeDegrees, -(123.0 + 11.12 / 60.0));
    EXPECT_EQ(rmc.speedKnots, 0.5f);
    EXPECT_EQ(rmc.courseDegrees, 54.7f);
    EXPECT_EQ(*rmc.date, (UtcDate{1994, 11, 19}));

    const GLL gll = decodeAs<GLL>("$GPGLL,4916.45,S,12311.12,E,225444,A,D");
    ASSERT_TRUE(gll.position);
    EXPECT_DOUBLE_EQ(gll.position->latitudeDegrees, -(49.0 + 16.45 / 60.0));
    EXPECT_EQ(gll.mode, 'D');

    const VTG vtg = decodeAs<VTG>("$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K,A");
    EXPECT_EQ(vtg.courseDegrees, 54.7f);
    EXPECT_EQ(vtg.speedKnots, 5.5f);
    EXPECT_EQ(vtg.speedKmh, 10.2f);

    const GSA gsa = decodeAs<GSA>("$GNGSA,A,3,82,73,74,,,,,,,,,,0.99,0.54,0.83,2");
    EXPECT_EQ(gsa.mode, 'A');
    EXPECT_EQ(gsa.fixType, 3);
    EXPECT_EQ(gsa.satellites, (std::vector<std::int32_t>{82, 73, 74}));
    EXPECT_EQ(gsa.system, Constellation::GLONASS);
    EXPECT_EQ(gsa.talkerSystem, std::nullopt);
    EXPECT_EQ(gsa.vdop, 0.83f);

    const GSV gsv = decodeAs<GSV>("$GAGSV,3,3,10,30,14,215,16,36,08,098,,7");
    EXPECT_EQ(gsv.total, 3);
    EXPECT_EQ(gsv.number, 3);
    EXPECT_EQ(gsv.signalId, 7);
    EXPECT_EQ(gsv.talkerSystem, Constellation::Galileo);
    ASSERT_EQ(gsv.satellites.size(), 2u);
    EXPECT_EQ(gsv.satellites[1].number, 36);
    EXPECT_EQ(gsv.satellites[1].azimuthDegrees, 98);
    EXPECT_EQ(gsv.satellites[1].snrDbHz, std::nullopt);

    const GNS gns = decodeAs<GNS>("$GNGNS,014035.00,4332.69262,S,17235.48549,E,RR,13,0.9,25.63,11.24,,");
    ASSERT_TRUE(gns.position);
    EXPECT_DOUBLE_EQ(gns.position->latitudeDegrees, -(43.0 + 32.69262 / 60.0));
    EXPECT_EQ(gns.altitudeMeters, 25.63f);

    const ZDA zda = decodeAs<ZDA>("$GPZDA,201530.00,04,07,2002,00,00");
    EXPECT_EQ(zda.date, (UtcDate{2002, 7, 4}));
    EXPECT_EQ(zda.time, (UtcTime{20, 15, 30.0}));

    EXPECT_EQ(decodeAs<HDT>("$HEHDT,274.07,T").headingDegrees, 274.07f);
}

TEST(Sentences, EachDecoderReadsItsSample)
{
    expectSamples();
}

TEST(Sentences, ADecimalCommaLocaleChangesNothing)
{
    if (!testlocale::switchToGerman(LC_ALL)) GTEST_SKIP() << "no German locale available";
    expectSamples();
    testlocale::restore(LC_ALL);
}

// Each attack carries a correct checksum on the wire; the decoder is what stops it.
TEST(Sentences, AbsurdValuesAreLeftOutAndSaySo)
{
    struct Case {
        const char* sentence;
        DecodeProblem problem;
        std::uint32_t field;
        bool recordKept;
    };
    const Case cases[] = {
        {"$GPRMC,999999,A,4807.038,N,01131.000,E,1.0,10.0,230394,,", DecodeProblem::BadTime, 1, true},
        {"$GPRMC,ab<b>x,A,4807.038,N,01131.000,E,1.0,10.0,230394,,", DecodeProblem::BadTime, 1, true},
        // A position that is no place on Earth is left out; time, speed and course still count.
        {"$GPRMC,120000,A,4899.999,N,01131.000,E,1.0,10.0,230394,,", DecodeProblem::BadLatitude, 3, true},
        {"$GPRMC,120000,A,9100.000,N,01131.000,E,1.0,10.0,230394,,", DecodeProblem::BadLatitude, 3, true},
        {"$GPRMC,120000,A,4807.038,N,18100.000,E,1.0,10.0,230394,,", DecodeProblem::BadLongitude, 5, true},
        {"$GPRMC,120000,A,4807.038,N,01160.000,E,1.0,10.0,230394,,", DecodeProblem::BadLongitude, 5, true},
        {"$GPRMC,120000,A,4807.038,X,01131.000,E,1.0,10.0,230394,,", DecodeProblem::BadLatitude, 3, true},
        {"$GPRMC,120000,A,4807.038,,01131.000,E,1.0,10.0,230394,,", DecodeProblem::PartialPosition, 4, true},
        {"$GPGGA,120000,,,01131.000,E,1,08,0.9,545.4,M,46.9,M,,", DecodeProblem::PartialPosition, 2, true},
        {"$GPRMC,120000,A,4807.038,N,01131.000,E,1e30,10.0,230394,,", DecodeProblem::BadSpeed, 7, true},
        {"$GPRMC,120000,A,4807.038,N,01131.000,E,100000000000000000000000000000.0,10.0,230394,,",
         DecodeProblem::BadSpeed, 7, true},
        {"$GPRMC,120000,A,4807.038,N,01131.000,E,-12.5,10.0,230394,,", DecodeProblem::BadSpeed, 7, true},
        {"$GPVTG,365.0,T,,M,5.0,N,,K", DecodeProblem::BadCourse, 1, true},
        {"$GPVTG,nan,T,,M,5.0,N,,K", DecodeProblem::BadCourse, 1, true},
        {"$GPGSA,A,3,04,05,,,,,,,,,,,2.5,1e30,2.1", DecodeProblem::BadDop, 16, true},
        {"$GPGGA,120000,4807.038,N,01131.000,E,1,08,0.9,99999999,M,46.9,M,,", DecodeProblem::BadAltitude, 9, true},
        {"$GPGSV,1,1,01,999,45,100,40", DecodeProblem::BadSatellite, 4, true},
        {"$GLGSV,1,1,01,40,45,100,40", DecodeProblem::BadSatellite, 4, true},
        {"$GPGSV,1,1,01,07,91,100,40", DecodeProblem::BadElevation, 5, true},
        {"$GPGSV,1,1,01,07,45,360,40", DecodeProblem::BadAzimuth, 6, true},
        {"$GPGSV,1,1,01,07,45,100,100", DecodeProblem::BadSnr, 7, true},
        {"$GPGSV,2,3,08,07,45,100,40", DecodeProblem::BadNumber, 2, false},
        // A GSV without its sentence numbers has no place in a cycle.
        {"$GPGSV,3", DecodeProblem::TooFewFields, 0, false},
        {"$GPXYZ,1,2", DecodeProblem::UnknownType, 0, false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.sentence);
        const Decoded decoded = decode(k.sentence);
        EXPECT_EQ(decoded.note.problem, k.problem);
        EXPECT_EQ(decoded.note.field, k.field);
        EXPECT_EQ(decoded.record.has_value(), k.recordKept);
        EXPECT_FALSE(decodeProblemKey(k.problem).empty());
    }

    // What was refused is absent; the rest of the sentence still counts.
    const RMC rmc = decodeAs<RMC>("$GPRMC,99:99:99,A,4807.038,N,01131.000,E,-1,365,230394,,");
    EXPECT_FALSE(rmc.time || rmc.speedKnots || rmc.courseDegrees);
    EXPECT_TRUE(rmc.position && rmc.date);
    const RMC placeless = decodeAs<RMC>("$GPRMC,120000,A,4807.038,N,01160.000,E,1.0,10.0,230394,,");
    EXPECT_FALSE(placeless.position);
    EXPECT_TRUE(placeless.time && placeless.speedKnots && placeless.courseDegrees && placeless.date);
    const GGA noLatitude = decodeAs<GGA>("$GPGGA,120000,,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,");
    EXPECT_FALSE(noLatitude.position);
    EXPECT_TRUE(noLatitude.time && noLatitude.fixQuality == 1 && noLatitude.altitudeMeters == 545.4f);
    const GSV gsv = decodeAs<GSV>("$GPGSV,1,1,02,07,91,100,40,999,10,10,10");
    ASSERT_EQ(gsv.satellites.size(), 1u);
    EXPECT_FALSE(gsv.satellites[0].elevationDegrees);
    EXPECT_EQ(gsv.satellites[0].snrDbHz, 40);
}

TEST(Sentences, StatusVOrModeNDropThePosition)
{
    const char* sentences[] = {
        "$GPRMC,081836,V,3751.65,S,14507.36,E,12.0,270.5,130998,011.3,E",
        "$GPRMC,081836,A,3751.65,S,14507.36,E,12.0,270.5,130998,011.3,E,N",
        "$GPGLL,3751.65,S,14507.36,E,081836,V",
        "$GPGLL,3751.65,S,14507.36,E,081836,A,N",
        "$GPVTG,270.5,T,,M,12.0,N,22.2,K,N",
        "$GPGGA,081836,3751.65,S,14507.36,E,0,00,,10.0,M,,M,,",
        "$GNGNS,081836,3751.65,S,14507.36,E,NN,00,,10.0,,,",
    };
    for (const char* text : sentences) {
        SCOPED_TRACE(text);
        const Decoded decoded = decode(text);
        ASSERT_TRUE(decoded.record);
        std::visit(
            [](const auto& record) {
                if constexpr (requires { record.position; }) { EXPECT_FALSE(record.position); }
                if constexpr (requires { record.time; }) { EXPECT_TRUE(record.time); }  // time still counts
            },
            *decoded.record);
    }
    // A void RMC keeps speed and course, marked as not from a fix; VTG mode N has none.
    const RMC voidFix = decodeAs<RMC>(sentences[0]);
    EXPECT_FALSE(voidFix.validFix());
    EXPECT_EQ(voidFix.speedKnots, 12.0f);
    EXPECT_EQ(voidFix.courseDegrees, 270.5f);
    EXPECT_FALSE(decodeAs<RMC>(sentences[1]).validFix());
    EXPECT_TRUE(decodeAs<RMC>("$GPRMC,081836,A,3751.65,S,14507.36,E,12.0,270.5,130998,011.3,E").validFix());
    EXPECT_FALSE(decodeAs<VTG>(sentences[4]).speedKnots);
}

// Older receivers leave trailing fields off; what a sentence lacks is absent, not a reason to
// refuse it. Without a checksum such a line may have been cut, and is not taken.
TEST(Sentences, ShortWellFormedSentencesAreTakenAsSent)
{
    const GLL gll = decodeAs<GLL>("$GPGLL,4916.45,N,12311.12,W");
    ASSERT_TRUE(gll.position);
    EXPECT_DOUBLE_EQ(gll.position->latitudeDegrees, 49.0 + 16.45 / 60.0);
    EXPECT_FALSE(gll.time);

    const GSA gsa = decodeAs<GSA>("$GPGSA,A,3,04,05,09");
    EXPECT_TRUE(gsa.stated);
    EXPECT_EQ(gsa.fixType, 3);
    EXPECT_EQ(gsa.satellites, (std::vector<std::int32_t>{4, 5, 9}));
    EXPECT_FALSE(gsa.pdop || gsa.hdop || gsa.vdop);
    EXPECT_FALSE(decodeAs<GSA>("$GPGSA").stated);

    const GGA gga = decodeAs<GGA>("$GPGGA,123519,4807.038,N,01131.000,E,1");
    EXPECT_TRUE(gga.time && gga.position);
    EXPECT_EQ(gga.fixQuality, 1);
    EXPECT_FALSE(gga.altitudeMeters);

    const RMC rmc = decodeAs<RMC>("$GPRMC,122150.000,A,4809.9020,N,01131.2300,E,3");
    EXPECT_EQ(rmc.speedKnots, 3.0f);
    EXPECT_FALSE(rmc.courseDegrees || rmc.date);
    EXPECT_EQ(decodeAs<VTG>("$GPVTG,30").courseDegrees, 30.0f);
    EXPECT_EQ(decodeAs<GSV>("$GPGSV,1,1,00").satellites.size(), 0u);

    for (const char* text : {"$GPGLL,4916.45,N,12311.12,W", "$GPGSA,A,3,04,05,09",
                             "$GPRMC,122150.000,A,4809.9020,N,01131.2300,E,3"}) {
        SCOPED_TRACE(text);
        EXPECT_TRUE(plainLineCutShort(*SentenceFields::split(std::string(text))));
    }
    EXPECT_FALSE(plainLineCutShort(*SentenceFields::split(std::string("$GPGLL,4916.45,N,12311.12,W,225444,A"))));
    EXPECT_FALSE(plainLineCutShort(*SentenceFields::split(std::string("$GPGST,1,2"))));
}

// The (system, svid) pairs gpsd reports for the numbers the recorded receivers send.
TEST(SatelliteNumbering, PlacesNumbersAsGpsdDoes)
{
    struct Case {
        std::optional<Constellation> talker;
        std::int64_t number;
        std::optional<PlacedSatellite> placed;
    };
    using C = Constellation;
    const Case cases[] = {
        {C::GPS, 29, PlacedSatellite{C::GPS, 29}},       {C::GPS, 44, PlacedSatellite{C::SBAS, 131}},
        {C::GPS, 133, PlacedSatellite{C::SBAS, 133}},    {C::GLONASS, 82, PlacedSatellite{C::GLONASS, 18}},
        {C::Galileo, 36, PlacedSatellite{C::Galileo, 36}}, {C::BeiDou, 214, PlacedSatellite{C::BeiDou, 14}},
        {C::BeiDou, 33, PlacedSatellite{C::BeiDou, 33}},  {std::nullopt, 70, PlacedSatellite{C::GLONASS, 6}},
        {std::nullopt, 195, PlacedSatellite{C::QZSS, 3}}, {std::nullopt, 305, PlacedSatellite{C::Galileo, 5}},
        {std::nullopt, 100, std::nullopt},               {std::nullopt, 201, PlacedSatellite{C::BeiDou, 1}},
        {C::QZSS, 202, PlacedSatellite{C::QZSS, 10}},               {C::GPS, 999, std::nullopt},
        {C::GLONASS, 40, std::nullopt},                  {C::Galileo, 37, std::nullopt},
        {C::NavIC, 15, std::nullopt},                    {std::nullopt, 0, std::nullopt},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.number);
        EXPECT_EQ(placeSatellite(k.talker, k.number), k.placed);
    }
}

}  // namespace
