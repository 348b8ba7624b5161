// SPDX-License-Identifier: BSD-2-Clause
#include <string>

#include <gtest/gtest.h>

#include "nmea/NMEA.h"

using namespace std::string_literals;

namespace {

ByteBuffer bufferOf(const std::string& bytes) { return ByteBuffer(bytes.begin(), bytes.end()); }

// The text a handler would see: the bytes up to the first NUL.
std::string textOf(const ByteBuffer& buffer)
{
    std::string text(buffer.begin(), buffer.end());
    return text.substr(0, text.find('\0'));
}

const std::string kGga = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,";
const std::string kRmc = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W";

struct Case {
    const char* name;
    std::string line;      // as read, NUL appended where the reader would append it
    bool accepted;
    std::string textAfter; // text up to the first NUL afterwards
};

}  // namespace

TEST(NMEAChecksum, AcceptsAndCutsOrRejectsLines)
{
    const Case cases[] = {
        {"GGA with its checksum", kGga + "*47\r\n\0"s, true, kGga},
        {"upper-case digits", kRmc + "*6A\r\n\0"s, true, kRmc},
        {"lower-case digits", kRmc + "*6a\r\n\0"s, true, kRmc},
        {"wrong checksum is still cut at the star", kRmc + "*6B\r\n\0"s, false, kRmc},
        {"encapsulation sentence", "!AIVDM,1,1,,A,15RTgt0PAso;90TKcjM8h6g208CQ,0*4A\r\n\0"s, true,
         "!AIVDM,1,1,,A,15RTgt0PAso;90TKcjM8h6g208CQ,0"},
        {"star right after the start character", "$*00\r\n\0"s, true, "$"},
        {"no digits after the star read as 0", "$*\r\n\0"s, true, "$"},
        {"no hex digit after the star reads as 0", "$GP*zz\r\n\0"s, false, "$GP"},
        // "G" ^ "@" == 0x07
        {"one digit then the line end", "$G@*7\r\n\0"s, true, "$G@"},
        {"one digit is not the high nibble", "$G@*70\r\n\0"s, false, "$G@"},
        {"only two digits are read", "$G@*071\r\n\0"s, true, "$G@"},
        {"digits stop at the end of the text", "$G@*0\0" "7\r\n\0"s, false, "$G@"},
        {"no checksum but a carriage return", "$GPGLL,4916.45,N\r\n\0"s, true, "$GPGLL,4916.45,N"},
        {"first star counts", "$G@*07*99\r\n\0"s, true, "$G@"},
        {"buffer without a NUL", "$G@*07"s, true, "$G@"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ByteBuffer buffer = bufferOf(c.line);
        EXPECT_EQ(NMEA::checkSumValid(buffer), c.accepted);
        EXPECT_EQ(textOf(buffer), c.textAfter);
        EXPECT_EQ(buffer.size(), c.line.size()) << "the buffer's length never changes";
    }
}

TEST(NMEAChecksum, RejectedLinesWithoutAStarAreLeftUnchanged)
{
    const struct {
        const char* name;
        std::string line;
    } cases[] = {
        {"neither star nor carriage return", "$GPGGA,123519,4807.038,N\n\0"s},
        {"tail of a line cut in two", "1131.000,E,1,08*47\r\n\0"s},
        {"lower-case start", "gPGGA,1*00\r\n\0"s},
        {"NUL before the star and the carriage return", "$G@\0*07\r\n\0"s},
        {"empty line", "\0"s},
        {"no bytes at all", ""s},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ByteBuffer buffer = bufferOf(c.line);
        const ByteBuffer before = buffer;
        EXPECT_FALSE(NMEA::checkSumValid(buffer));
        EXPECT_EQ(buffer, before);
    }
}
