// SPDX-License-Identifier: BSD-2-Clause
#include "serial/RateHunt.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "serial/Serial.h"
#include "fakes/PseudoTerminal.h"

namespace {

ByteBuffer bytes(const std::string& text)
{
    return ByteBuffer(text.begin(), text.end());
}

TEST(RateHuntTest, StoredRateFirstThenTheCommonStartRatesThenTheRest)
{
    const std::vector<std::string> common = {"9600", "38400", "115200", "4800", "19200",
                                             "57600", "230400", "460800", "921600"};
    EXPECT_EQ(RateHunt::candidates(std::nullopt), common);
    std::vector<std::string> stored = {"57600", "9600", "38400", "115200", "4800", "19200",
                                       "230400", "460800", "921600"};
    EXPECT_EQ(RateHunt::candidates(std::string("57600")), stored);
    EXPECT_EQ(RateHunt::candidates(std::string("Automatic")), common) << "not a rate";
    EXPECT_EQ(RateHunt::candidates(std::string("2400")), common) << "not a rate of ours";
}

TEST(RateHuntTest, TwoChecksummedSentencesSettleATrialNoiseGivesUp)
{
    const std::string rmc = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n";
    const std::string gga = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";

    RateHunt::Trial split;
    split.take(bytes("9,A*1F\r\n" + rmc.substr(0, 20)));  // a cut first line does not count
    EXPECT_FALSE(split.settled());
    split.take(bytes(rmc.substr(20)));
    EXPECT_FALSE(split.settled()) << "one sentence is not yet two";
    split.take(bytes(gga));
    EXPECT_TRUE(split.settled());

    RateHunt::Trial unchecked;
    unchecked.take(bytes("$GPRMC,123519,A\r\n$GPGGA,123519\r\n$GPVTG,1\r\n"));
    EXPECT_FALSE(unchecked.settled()) << "lines without a checksum prove no rate";

    RateHunt::Trial wrong;
    wrong.take(bytes(rmc.substr(0, 30) + "*00\r\n"));
    EXPECT_FALSE(wrong.hopeless());
    std::string noise;
    for (int i = 0; i < 800; ++i) noise += static_cast<char>((i * 37) & 0xFF);
    wrong.take(bytes(noise));
    EXPECT_TRUE(wrong.hopeless());
    EXPECT_FALSE(wrong.settled());
}

// Stopped before any rate had its window (--quit-after during the hunt): the result says it
// was cut short, so nobody is told that no rate worked. A hunt that ran out is not.
TEST(RateHuntTest, AHuntEndedByStopSaysItWasCutShort)
{
    testpty::PseudoTerminal pty;
    ASSERT_TRUE(pty.ok());
    bool stop = false;
    RateHunt hunt([&] { return stop; }, [&](const std::string&) { stop = true; });
    const RateHunt::Result stopped = hunt.run(pty.slavePath(), {"4800", "9600"}, 5.0);
    EXPECT_FALSE(stopped.port);
    EXPECT_TRUE(stopped.cutShort);

    RateHunt quiet(nullptr, nullptr);
    const RateHunt::Result ranOut = quiet.run(pty.slavePath(), {"4800"}, 0.05);
    EXPECT_FALSE(ranOut.port);
    EXPECT_FALSE(ranOut.cutShort);
}

}  // namespace
