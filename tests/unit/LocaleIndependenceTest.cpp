// SPDX-License-Identifier: BSD-2-Clause
// Everything GPS Desk writes for other programs — the simulator's sentences, the receiver
// test's figures, gpsd-shaped reports — must carry a decimal point under any locale. A
// German desktop session once turned the simulator's HDOP 1.2 into "1,2" with a valid
// checksum around it, and gpsd took the corrupt sentence.

#include <clocale>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "stream/GpsdReport.h"
#include "quality/AccuracyStatistics.h"
#include "quality/ReceiverTest.h"
#include "fakes/GermanLocale.h"
#include "sim/Scenario.h"

namespace {

struct Written {
    std::vector<std::string> sentences;
    std::string csv;
    std::string json;
};

Written writeEverything()
{
    Written out;
    sim::Scenario scenario(7, false);
    for (int second = 0; second < 40; ++second) {
        scenario.step();
        for (int kind = 0; kind < sim::kSentenceCount; ++kind)
            for (std::string& s : scenario.sentences(static_cast<sim::Sentence>(kind)))
                out.sentences.push_back(std::move(s));
    }
    ReceiverTest test;
    test.started(0.0, RunStart::Connect);
    for (int i = 0; i < 5; ++i) {
        FixSample fix;
        fix.timeSeconds = 1.5 + i;
        fix.position = GeodeticPosition{48.1375 + i * 1e-6, 11.575, 519.25};
        fix.hdop = 1.25f;
        fix.speedKnots = 0.25f;
        test.position(fix.timeSeconds, 3, fix);
    }
    out.csv = test.accuracy().csv();
    out.json = gpsdreport::test(test);
    return out;
}

TEST(LocaleIndependence, SentencesFilesAndReportsAreTheSameBytesUnderGerman)
{
    const Written c = writeEverything();
    if (!testlocale::switchToGerman(LC_ALL)) GTEST_SKIP() << "no German locale can be made here";
    const Written german = writeEverything();
    testlocale::restore(LC_ALL);

    ASSERT_EQ(german.sentences.size(), c.sentences.size());
    for (std::size_t i = 0; i < c.sentences.size(); ++i) EXPECT_EQ(german.sentences[i], c.sentences[i]);
    EXPECT_EQ(german.csv, c.csv);
    EXPECT_EQ(german.json, c.json);
    // What the C run wrote really has decimals in it, so the comparison means something.
    EXPECT_NE(c.csv.find("48.137"), std::string::npos) << c.csv;
    EXPECT_NE(c.json.find("\"ttff3d\":1.5"), std::string::npos) << c.json;
}

}  // namespace
