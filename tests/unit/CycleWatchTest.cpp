// SPDX-License-Identifier: BSD-2-Clause
// Reports once per receiver cycle: where a cycle ends is learnt from the stream.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "stream/CycleWatch.h"
#include "stream/SentencePipeline.h"
#include "nmea/SentenceTable.h"

namespace {

// Feeds sentences (without checksums: a log's lines) and notes where a report would go out:
// "|" before a sentence that starts a new cycle, "!" after one that ends it.
std::string marks(const std::vector<std::string>& sentences)
{
    CycleWatch watch;
    std::string out;
    for (const std::string& text : sentences) {
        const LineResult result = SentencePipeline::decodeText(text);
        EXPECT_EQ(result.kind, LineResult::Kind::Decoded) << text;
        if (result.kind != LineResult::Kind::Decoded) continue;
        if (watch.startsCycle(*result.record)) out += "|";
        out += std::string(result.sentenceKind->type);
        if (watch.endsCycle(result.sentenceKind->type)) out += "!";
        out += " ";
    }
    return out;
}

TEST(CycleWatch, LearnsTheLastSentenceOfACycleAndReportsThereFromThenOn)
{
    const std::string gga1 = "$GPGGA,120000.00,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,";
    const std::string rmc1 = "$GPRMC,120000.00,A,4807.038,N,01131.000,E,0.5,54.7,081226,,,A";
    const std::string gsa = "$GPGSA,A,3,04,05,,,,,,,,,,,2.5,1.3,2.1";
    const std::string gga2 = "$GPGGA,120001.00,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,";
    const std::string rmc2 = "$GPRMC,120001.00,A,4807.038,N,01131.000,E,0.5,54.7,081226,,,A";
    const std::string gga3 = "$GPGGA,120002.00,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,";
    const std::string rmc3 = "$GPRMC,120002.00,A,4807.038,N,01131.000,E,0.5,54.7,081226,,,A";
    // The first cycle goes out when the second begins; from then on at its GSA.
    EXPECT_EQ(marks({gga1, rmc1, gsa, gga2, rmc2, gsa, gga3, rmc3, gsa}),
              "GGA RMC GSA |GGA RMC GSA! |GGA RMC GSA! ");
    // Sentences without a time of their own never start a cycle; repeated times never do.
    EXPECT_EQ(marks({gsa, gga1, gga1, gsa}), "GSA GGA GGA GSA ");
}

}  // namespace
