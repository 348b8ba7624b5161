// SPDX-License-Identifier: BSD-2-Clause
#include <string>

#include <gtest/gtest.h>

#include "sources/GpsdJsonFilter.h"

namespace {

std::string run(GpsdJsonFilter& filter, const std::string& input, std::size_t piece)
{
    std::vector<std::uint8_t> out;
    for (std::size_t at = 0; at < input.size(); at += piece)
        filter.feed(std::span(reinterpret_cast<const std::uint8_t*>(input.data()) + at,
                              std::min(piece, input.size() - at)),
                    out);
    return std::string(out.begin(), out.end());
}

TEST(GpsdJsonFilterTest, PassesTheReceiversBytesAndTakesOutGpsdsNotices)
{
    const std::string ubx("\xB5\x62\x01\x07\x02\x00{\"\x10\x20", 10);
    const std::string input =
        "{\"class\":\"VERSION\",\"release\":\"3.22\",\"proto_major\":3}\r\n"
        "{\"class\":\"DEVICES\",\"devices\":[{\"path\":\"/dev/pts/3\"}]}\r\n"
        "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n" + ubx +
        "{\"class\":\"DEVICE\",\"path\":\"/dev/pts/3\",\"activated\":\"2026-12-08T21:00:00.000Z\"}\r\n"
        "{\"cl\r\n"
        "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n"
        "{\"class\":\"ERROR\",\"message\":\"Can't open /dev/ttyUSB9.\"}\r\n";
    const std::string expected = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n" + ubx +
                                 "{\"cl\r\n"
                                 "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n";
    for (const std::size_t piece : {std::size_t{1}, std::size_t{5}, input.size()}) {
        SCOPED_TRACE(piece);
        GpsdJsonFilter filter;
        EXPECT_EQ(run(filter, input, piece), expected);
        EXPECT_EQ(filter.noticesRemoved(), 4u);
        EXPECT_EQ(filter.takeError(), "Can't open /dev/ttyUSB9.");
        EXPECT_EQ(filter.takeError(), "");
    }
}

TEST(GpsdJsonFilterTest, AnEndlessNoticeDoesNotSwallowTheStream)
{
    GpsdJsonFilter filter;
    const std::string input = "{\"class\":\"" + std::string(20000, 'x') + "$GPGSA\r\n";
    const std::string out = run(filter, input, 4096);
    EXPECT_TRUE(out.ends_with("$GPGSA\r\n")) << out.size();
}

}  // namespace
