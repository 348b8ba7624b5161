// SPDX-License-Identifier: BSD-2-Clause
#include "stream/GpsdReport.h"
#include "quality/ReceiverTest.h"

#include <vector>

#include <gtest/gtest.h>

TEST(ReceiverTestTest, JsonLineCarriesTheFiguresAndNullWhereThereAreNone)
{
    ReceiverTest test;
    EXPECT_EQ(gpsdreport::test(test),
              R"({"class":"TEST","points":0,"cep50":null,"cep95":null,"drms2":null,"ttff2d":null,"ttff3d":null})");

    test.started(0.0, RunStart::Connect);
    const LocalTangentPlane plane({52.0, 13.0, 40.0});
    for (const auto& [east, north] : {std::pair{1.0, 0.0}, {-1.0, 0.0}, {0.0, 2.0}, {0.0, -2.0}}) {
        FixSample fix;
        fix.position = plane.toGeodetic({east, north, 0.0});
        test.position(12.0, 2, fix);
    }
    // A position without a fix is no point of the scatter.
    FixSample stray;
    stray.position = plane.toGeodetic({500.0, 0.0, 0.0});
    test.position(13.0, 0, stray);
    test.position(20.5, 3, std::nullopt);
    EXPECT_EQ(gpsdreport::test(test),
              R"({"class":"TEST","points":4,"cep50":1.500,"cep95":2.000,"drms2":3.162,"ttff2d":12.0,"ttff3d":20.5})");

    // Reset starts the scatter over but keeps the runs.
    test.reset();
    EXPECT_EQ(gpsdreport::test(test),
              R"({"class":"TEST","points":0,"cep50":null,"cep95":null,"drms2":null,"ttff2d":12.0,"ttff3d":20.5})");
}
