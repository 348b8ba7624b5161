// SPDX-License-Identifier: BSD-2-Clause
#include <cstdint>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "nmea/NMEA.h"

using namespace std::string_literals;

namespace {

ByteBuffer bufferOf(const std::string& bytes) { return ByteBuffer(bytes.begin(), bytes.end()); }

}  // namespace

TEST(NMEAAddress, PartsOfTheAddressField)
{
    const ByteBuffer gga = bufferOf("$GPGGA,123519\0"s);
    EXPECT_EQ(NMEA::prefix(gga), "G");
    EXPECT_EQ(NMEA::talker(gga), "GP");
    EXPECT_EQ(NMEA::command(gga), "GGA");

    const ByteBuffer proprietary = bufferOf("$PSRF100,1,4800,8,1,0\0"s);
    EXPECT_EQ(NMEA::prefix(proprietary), "P");

    const ByteBuffer ais = bufferOf("!AIVDM,1,1\0"s);
    EXPECT_EQ(NMEA::talker(ais), "AI");
    EXPECT_EQ(NMEA::command(ais), "VDM");
}

TEST(NMEAAddress, NeedsTheWholeRangeInsideTheBuffer)
{
    EXPECT_EQ(NMEA::command(bufferOf("$GPGG")), std::nullopt);
    EXPECT_EQ(NMEA::command(bufferOf("$GPGGA")), "GGA") << "a range ending at the last byte is inside";
    EXPECT_EQ(NMEA::prefix(ByteBuffer{}), std::nullopt);
    EXPECT_EQ(NMEA::address(bufferOf("$GP"), 3, 0), "") << "an empty range at the end is inside";
    EXPECT_EQ(NMEA::address(bufferOf("$GP"), 4, 0), std::nullopt);
}

TEST(NMEAAddress, CountsEveryByteOfTheBufferNotJustTheText)
{
    // After the checksum is cut the text is "$GP", but the bytes behind the NUL are still
    // part of the buffer.
    ByteBuffer buffer = bufferOf("$GP*17\r\n\0"s);
    ASSERT_TRUE(NMEA::checkSumValid(buffer));
    const auto command = NMEA::command(buffer);
    ASSERT_TRUE(command.has_value());
    EXPECT_EQ(*command, "\0"s "17");
}

TEST(NMEAAddress, OffsetPlusLengthDoesNotWrapRound)
{
    constexpr std::uint32_t kMax = std::numeric_limits<std::uint32_t>::max();
    const ByteBuffer buffer = bufferOf("$GPGGA,123519\0"s);
    EXPECT_EQ(NMEA::address(buffer, kMax, 2), std::nullopt);
    EXPECT_EQ(NMEA::address(buffer, 2, kMax), std::nullopt);
    EXPECT_EQ(NMEA::address(buffer, kMax, kMax), std::nullopt);
}

TEST(NMEAAddress, BytesAboveAsciiBecomeLatin1InUtf8)
{
    const ByteBuffer buffer = bufferOf("$G\xE9\xFF" "A,\0"s);
    EXPECT_EQ(NMEA::talker(buffer), "G\xC3\xA9");
    EXPECT_EQ(NMEA::command(buffer), "\xC3\xBF" "A,") << "offsets count bytes of the buffer";
}
