// SPDX-License-Identifier: BSD-2-Clause
#include <string>

#include <gtest/gtest.h>

#include "sources/ChunkedDecoder.h"

namespace {

struct Result {
    std::string payload;
    ChunkedDecoder::State state;
};

Result decode(const std::string& input, std::size_t piece)
{
    ChunkedDecoder decoder;
    std::vector<std::uint8_t> out;
    for (std::size_t at = 0; at < input.size(); at += piece)
        decoder.feed(std::span(reinterpret_cast<const std::uint8_t*>(input.data()) + at,
                               std::min(piece, input.size() - at)),
                     out);
    return {std::string(out.begin(), out.end()), decoder.state()};
}

TEST(ChunkedDecoderTest, DecodesWhateverWayTheBytesAreCut)
{
    using State = ChunkedDecoder::State;
    struct Case {
        const char* name;
        std::string input;
        std::string payload;
        State state;
    };
    const Case cases[] = {
        {"two chunks and the end", "4\r\nWiki\r\n5\r\npedia\r\n0\r\n\r\n", "Wikipedia", State::Finished},
        {"upper and lower hex, extension", "A;name=x\r\n0123456789\r\na\r\nabcdefghij\r\n0\r\n\r\n",
         "0123456789abcdefghij", State::Finished},
        {"binary with CR LF inside", std::string("3\r\n\xD3\r\n\r\n", 8), std::string("\xD3\r\n", 3), State::Body},
        {"trailer fields", "1\r\nx\r\n0\r\nX-Check: 1\r\n\r\n", "x", State::Finished},
        {"bytes after the end are ignored", "1\r\nx\r\n0\r\n\r\nGARBAGE", "x", State::Finished},
        {"not hex", "G\r\nxx", "", State::Broken},
        {"no CR LF after the data", "2\r\nabc\r\n", "ab", State::Broken},
        {"size too long to be true", "123456789\r\n", "", State::Broken},
        {"empty size line", "\r\n", "", State::Broken},
        {"bare LF after the size", "2\nab", "", State::Broken},
    };
    for (const auto& c : cases) {
        for (const std::size_t piece : {std::size_t{1}, std::size_t{3}, std::size_t{1000}}) {
            SCOPED_TRACE(std::string(c.name) + " / " + std::to_string(piece));
            const Result result = decode(c.input, piece);
            EXPECT_EQ(result.payload, c.payload);
            EXPECT_EQ(result.state, c.state);
        }
    }
}

}  // namespace
