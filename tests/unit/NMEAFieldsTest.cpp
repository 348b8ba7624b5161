// SPDX-License-Identifier: BSD-2-Clause
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "nmea/NMEA.h"

using namespace std::string_literals;

namespace {

ByteBuffer bufferOf(const std::string& bytes) { return ByteBuffer(bytes.begin(), bytes.end()); }

// Every field by number until the first missing one.
std::vector<std::string> allFields(const ByteBuffer& buffer)
{
    std::vector<std::string> fields;
    for (std::uint32_t i = 0;; ++i) {
        auto field = NMEA::parse(buffer, i);
        if (!field) return fields;
        fields.push_back(*field);
    }
}

}  // namespace

TEST(NMEAFields, SplitsAtEveryCommaWithoutTrimming)
{
    const struct {
        const char* name;
        std::string text;
        std::vector<std::string> fields;
    } cases[] = {
        {"GGA", "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,\0"s,
         {"$GPGGA", "123519", "4807.038", "N", "01131.000", "E", "1", "08", "0.9", "545.4", "M",
          "46.9", "M", "", ""}},
        {"comma at the end", "$GPGLL,\0"s, {"$GPGLL", ""}},
        {"no comma", "$GPGLL\0"s, {"$GPGLL"}},
        {"adjacent commas", "$GPGSV,,,3\0"s, {"$GPGSV", "", "", "3"}},
        {"blanks are kept", "$GPTXT, a ,b \0"s, {"$GPTXT", " a ", "b "}},
        {"only a comma", ",\0"s, {"", ""}},
        {"text ends at the first NUL", "$GPGGA,1\0,2,3\0"s, {"$GPGGA", "1"}},
        {"buffer without a NUL", "$GPVTG,T"s, {"$GPVTG", "T"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ByteBuffer buffer = bufferOf(c.text);
        EXPECT_EQ(allFields(buffer), c.fields);
        EXPECT_EQ(NMEA::count(buffer), c.fields.size());
        EXPECT_EQ(NMEA::parse(buffer, NMEA::count(buffer)), std::nullopt);
    }
}

TEST(NMEAFields, EmptyTextHasNoFields)
{
    for (const ByteBuffer& buffer : {ByteBuffer{}, bufferOf("\0"s), bufferOf("\0$GPGGA,1\0"s)}) {
        EXPECT_EQ(NMEA::count(buffer), 0u);
        EXPECT_EQ(NMEA::parse(buffer, 0), std::nullopt);
    }
}

TEST(NMEAFields, LargeFieldNumbersHaveNoResult)
{
    const ByteBuffer buffer = bufferOf("$GPGGA,1,2\0"s);
    EXPECT_EQ(NMEA::parse(buffer, std::numeric_limits<std::uint32_t>::max()), std::nullopt);
}

TEST(NMEAFields, PositionsCountBytesWhileTextIsUtf8)
{
    // 0xB0 is the degree sign in ISO-8859-1; it takes two bytes in the field's UTF-8 text.
    const ByteBuffer buffer = bufferOf("$GPTXT,48\xB0,N\0"s);
    EXPECT_EQ(NMEA::count(buffer), 3u);
    EXPECT_EQ(NMEA::parse(buffer, 1), "48\xC2\xB0");
    EXPECT_EQ(NMEA::parse(buffer, 2), "N");
}

TEST(NMEAFields, AgreesWithAPlainSplitWhereverCommasAndTheNulFall)
{
    // Long enough for the eight-byte scan, with commas and the end of the text at every
    // offset within a word.
    const std::string base = "$GPGSV,3,1,11,03,03,111,00,04,15,270,00,06,01,010,00,13,06,292,00";
    for (std::size_t nulAt = 0; nulAt <= base.size(); ++nulAt) {
        std::string bytes = base;
        if (nulAt < base.size()) bytes[nulAt] = '\0';
        SCOPED_TRACE("NUL at " + std::to_string(nulAt));

        const std::string text = bytes.substr(0, bytes.find('\0'));
        std::vector<std::string> expected;
        if (!text.empty()) {
            std::size_t start = 0;
            for (std::size_t comma; (comma = text.find(',', start)) != std::string::npos; start = comma + 1) {
                expected.push_back(text.substr(start, comma - start));
            }
            expected.push_back(text.substr(start));
        }
        const ByteBuffer buffer = bufferOf(bytes);
        ASSERT_EQ(allFields(buffer), expected);
        ASSERT_EQ(NMEA::count(buffer), expected.size());
    }
}
