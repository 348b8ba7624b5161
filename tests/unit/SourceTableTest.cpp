// SPDX-License-Identifier: BSD-2-Clause
#include <gtest/gtest.h>

#include "sources/SourceTable.h"

namespace {

TEST(SourceTableTest, ReadsStreamRecordsAndSkipsWhatIsNotOne)
{
    const auto table = SourceTable::parse(
        "SOURCETABLE 200 OK\r\nContent-Type: text/plain\r\n\r\n"
        "CAS;caster.example;2101;Example;Org;0;USA;44.0;-121.0;0.0.0.0;0;http://example\r\n"
        "STR;LIEGE0;Liege;RTCM 2.3;1(1),3(60),16;0;GPS;Misc;BEL;50.63;5.57;0;0;Z-18;none;B;N;500;misc\r\n"
        "STR;EAST;East;RTCM 3.3;1005(10);2;GPS;X;NZL;-41.3;354.7;1;1;gen;none;N;Y;2400;\r\n"
        "STR;;no name;RTCM 3;;0;GPS;X;X;1;1;0;0\r\n"
        "STR;SHORT;too few\r\n"
        "STR;NOWHERE;x;RTCM 3;;0;GPS;X;X;abc;1.0;0\r\n"
        "NET;EUREF;BKG;B;N;http://a;http://b;mail;\r\n"
        "ENDSOURCETABLE\r\n"
        "STR;AFTER;x;RTCM 3;;0;GPS;X;X;1;1;0;0\r\n");
    EXPECT_TRUE(table.complete);
    EXPECT_EQ(table.casterRecords, 1u);
    EXPECT_EQ(table.networkRecords, 1u);
    ASSERT_EQ(table.mountpoints.size(), 3u);
    const Mountpoint& liege = table.mountpoints[0];
    EXPECT_EQ(liege.name, "LIEGE0");
    EXPECT_EQ(liege.format, "RTCM 2.3");
    EXPECT_EQ(liege.formatDetails, "1(1),3(60),16");
    EXPECT_DOUBLE_EQ(*liege.latitude, 50.63);
    EXPECT_DOUBLE_EQ(*liege.longitude, 5.57);
    EXPECT_FALSE(liege.nmeaRequired);
    EXPECT_EQ(liege.bitrate, 500);
    const Mountpoint* east = table.find("EAST");
    ASSERT_NE(east, nullptr);
    EXPECT_TRUE(east->nmeaRequired);
    EXPECT_TRUE(east->networkSolution);
    EXPECT_TRUE(east->fee);
    EXPECT_NEAR(*east->longitude, -5.3, 1e-9);  // 354.7 east written as 0-360
    EXPECT_FALSE(table.find("NOWHERE")->latitude);
    EXPECT_EQ(table.find("AFTER"), nullptr);
}

TEST(SourceTableTest, DistanceIsTheGreatCircle)
{
    // Paris to London, about 344 km; a quarter of the equator, about 10 008 km.
    EXPECT_NEAR(SourceTable::distanceKm(48.8566, 2.3522, 51.5074, -0.1278), 343.5, 1.0);
    EXPECT_NEAR(SourceTable::distanceKm(0, 0, 0, 90), 10007.5, 1.0);
    EXPECT_DOUBLE_EQ(SourceTable::distanceKm(10, 20, 10, 20), 0.0);
}

}  // namespace
