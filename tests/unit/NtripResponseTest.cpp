// SPDX-License-Identifier: BSD-2-Clause
#include <string>

#include <gtest/gtest.h>

#include "sources/NtripResponse.h"

namespace {

using Kind = NtripResponse::Kind;

TEST(NtripResponseTest, TellsEachKindOfAnswerAndWhereTheBodyStarts)
{
    struct Case {
        const char* name;
        std::string answer;
        Kind kind;
        std::size_t bodyAt;  // bytes of the head; npos: all
        bool chunked;
    };
    constexpr auto all = std::string::npos;
    const Case cases[] = {
        {"version 1 stream", std::string("ICY 200 OK\r\n\xD3\x00", 14), Kind::Stream, 12, false},
        {"version 1 table", "SOURCETABLE 200 OK\r\nServer: x\r\n\r\nSTR;A;", Kind::SourceTable, 20, false},
        {"version 2 stream", "HTTP/1.1 200 OK\r\nNtrip-Version: Ntrip/2.0\r\nTransfer-Encoding: Chunked\r\n\r\n1a\r\n",
         Kind::Stream, 73, true},
        {"version 2 table", "HTTP/1.1 200 OK\r\nContent-Type: gnss/sourcetable\r\n\r\nSTR", Kind::SourceTable, 51, false},
        {"head with bare LF", "HTTP/1.0 200 OK\nServer: x\n\nD", Kind::Stream, 27, false},
        {"401", "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"/M\"\r\n\r\n", Kind::Unauthorized, all, false},
        {"ICY 401", "ICY 401 Unauthorized\r\n", Kind::Unauthorized, all, false},
        {"404", "HTTP/1.1 404 Not Found\r\n\r\n", Kind::NotFound, all, false},
        {"503", "HTTP/1.1 503 Service Unavailable\r\n\r\n", Kind::Refused, all, false},
        {"garbage at once", "\x16\x03\x01\x02", Kind::NotNtrip, 1, false},
        {"SSH server", "SSH-2.0-OpenSSH_9.2\r\n", Kind::NotNtrip, 2, false},
        {"status without a code", "HTTP/1.1 OK\r\n\r\n", Kind::NotNtrip, 13, false},
        {"not yet complete", "HTTP/1.1 200 OK\r\nServer: x\r\n", Kind::Incomplete, all, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // Byte by byte and all at once must agree.
        NtripResponse whole;
        const std::size_t used =
            whole.feed(std::span(reinterpret_cast<const std::uint8_t*>(c.answer.data()), c.answer.size()));
        NtripResponse single;
        std::size_t usedSingly = 0;
        for (std::size_t i = 0; i < c.answer.size() && single.kind() == Kind::Incomplete; ++i)
            usedSingly += single.feed(std::span(reinterpret_cast<const std::uint8_t*>(c.answer.data()) + i, 1));
        EXPECT_EQ(whole.kind(), c.kind);
        EXPECT_EQ(single.kind(), c.kind);
        EXPECT_EQ(used, c.bodyAt == all ? c.answer.size() : c.bodyAt);
        EXPECT_EQ(usedSingly, used);
        EXPECT_EQ(whole.chunked(), c.chunked);
    }
}

TEST(NtripResponseTest, AnEndlessHeadIsNotACaster)
{
    NtripResponse response;
    const std::string head = "HTTP/1.1 200 OK\r\n" + std::string(NtripResponse::kMaxHead, 'x');
    response.feed(std::span(reinterpret_cast<const std::uint8_t*>(head.data()), head.size()));
    EXPECT_EQ(response.kind(), Kind::NotNtrip);
}

TEST(NtripResponseTest, StatusLineForMessagesIsPrintableAndShort)
{
    NtripResponse response;
    const std::string head = "HTTP/1.1 500 \x1b[31mBoom" + std::string(200, 'y') + "\r\n\r\n";
    response.feed(std::span(reinterpret_cast<const std::uint8_t*>(head.data()), head.size()));
    EXPECT_EQ(response.kind(), Kind::Refused);
    EXPECT_EQ(response.statusCode(), 500);
    EXPECT_EQ(response.statusLine().substr(0, 18), "HTTP/1.1 500 ?[31m");
    EXPECT_EQ(response.statusLine().size(), 80u);
}

}  // namespace
