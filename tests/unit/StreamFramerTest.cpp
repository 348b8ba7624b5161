// SPDX-License-Identifier: BSD-2-Clause
#include "binary/StreamFramer.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>

#include "binary/Crc24q.h"
#include "binary/UbxFrame.h"
#include "fakes/TestData.h"
#include "unit/RecordedFrames.h"

using binary::Frame;
using binary::FrameKind;
using binary::StreamFramer;

namespace {

std::vector<std::uint8_t> bytesOf(std::string_view text) { return {text.begin(), text.end()}; }

void append(std::vector<std::uint8_t>& to, const std::vector<std::uint8_t>& bytes)
{
    to.insert(to.end(), bytes.begin(), bytes.end());
}

std::vector<std::uint8_t> rtcm3Frame(std::vector<std::uint8_t> message)
{
    std::vector<std::uint8_t> frame;
    frame.reserve(message.size() + 6);
    frame.push_back(0xD3);
    frame.push_back(static_cast<std::uint8_t>(message.size() >> 8));
    frame.push_back(static_cast<std::uint8_t>(message.size() & 0xFF));
    for (const std::uint8_t byte : message) frame.push_back(byte);
    const std::uint32_t crc = binary::crc24q(frame);
    frame.push_back(static_cast<std::uint8_t>(crc >> 16));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    frame.push_back(static_cast<std::uint8_t>(crc));
    return frame;
}

const std::vector<std::uint8_t> kNavDop = binary::ubxFrame(0x01, 0x04, std::vector<std::uint8_t>(18, 0x11));
const std::string kGga = "$GPGGA,092750.000,5321.6802,N,00630.3372,W,1,8,1.03,61.7,M,55.2,M,,*76\r\n";

}  // namespace

TEST(Crc24qTest, CheckValueOfTheStandardString)
{
    const auto text = bytesOf("123456789");
    EXPECT_EQ(binary::crc24q(text), 0xCDE703u);
    EXPECT_EQ(binary::crc24q({}), 0u);
}

// Every recorded mixed log splits with no bad checksum; the counts were found with a separate
// scan of the files (a script walking sync bytes and lengths, checking each checksum).
TEST(StreamFramerTest, RecordedLogsSplitIntoTheirFrames)
{
    REQUIRE_TESTDATA(data);
    struct Case {
        const char* log;
        std::uint64_t nmea, ubx, rtcm3, truncated;
    };
    const Case cases[] = {
        {"ubx/u-blox-m8t-time.log", 0, 1511, 0, 1},
        {"ubx/ublox-8.log", 1009, 0, 0, 0},
        {"ubx/ublox-neo-m8n.log", 0, 52, 0, 1},
        {"ubx/ublox-zed-f9p-hp.log", 0, 293, 0, 0},
        {"ubx/ublox-zed-f9p-rtk.log", 0, 70, 0, 0},
        {"ubx/ublox-zed-f9p-sfrbx.log", 0, 152, 0, 1},
        {"ubx/ublox-zed-f9t-ubx_nmea_l5.log", 252, 83, 0, 0},
        {"ubx/ublox8-uniqid-monhw.log", 52, 100, 0, 1},
        {"rtcm3/rtcm3.log", 0, 0, 2, 0},
        {"rtcm3/rtcm3.2.log", 2, 0, 192, 0},
        {"rtcm3/ublox-zed-f9t-rtcm3.log", 0, 136, 182, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.log);
        const auto bytes = recorded::stream(data / c.log);
        ASSERT_FALSE(bytes.empty());
        StreamFramer framer;
        const auto whole = recorded::frames(framer, bytes, 4096);
        const StreamFramer::Counts& counts = framer.counts();
        EXPECT_EQ(counts.badUbxChecksums, 0u);
        EXPECT_EQ(counts.badRtcm3Checksums, 0u);
        EXPECT_EQ(counts.nmeaLines, c.nmea);
        EXPECT_EQ(counts.ubxFrames, c.ubx);
        EXPECT_EQ(counts.rtcm3Frames, c.rtcm3);
        EXPECT_GE(counts.truncatedFrames, c.truncated);
        EXPECT_EQ(whole.size(), c.nmea + c.ubx + c.rtcm3);
        std::size_t inFrames = 0;
        for (const Frame& frame : whole) inFrames += frame.bytes.size();
        EXPECT_EQ(inFrames + counts.bytesSkipped, bytes.size()) << "every byte is in a frame or counted as skipped";

        // Cut anywhere, the stream gives the same frames.
        for (const std::size_t chunk : {std::size_t{1}, std::size_t{7}, std::size_t{255}}) {
            SCOPED_TRACE(chunk);
            StreamFramer cut;
            const auto pieces = recorded::frames(cut, bytes, chunk);
            ASSERT_EQ(pieces.size(), whole.size());
            std::size_t inPieces = 0;
            for (const Frame& frame : pieces) inPieces += frame.bytes.size();
            EXPECT_EQ(inPieces + cut.counts().bytesSkipped + cut.counts().lateLineFeeds, bytes.size());
            for (std::size_t i = 0; i < whole.size(); ++i) {
                // A CR at the end of a chunk gives its line out before the LF is seen.
                auto a = whole[i].bytes, b = pieces[i].bytes;
                if (whole[i].kind == FrameKind::Nmea && !a.empty() && a.back() == '\n' && !b.empty() && b.back() == '\r')
                    a.pop_back();
                ASSERT_EQ(a, b) << "frame " << i;
            }
        }
    }
}

TEST(StreamFramerTest, FrameCarriesItsKindAndNumbers)
{
    std::vector<std::uint8_t> stream = bytesOf(kGga);
    append(stream, kNavDop);
    // 1005 header only: message number 1005 = 0x3ED, station 2003 = 0x7D3.
    append(stream, rtcm3Frame({0x3E, 0xD7, 0xD3, 0x00}));
    const auto frames = recorded::frames(stream);
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0].kind, FrameKind::Nmea);
    EXPECT_EQ(std::string(frames[0].bytes.begin(), frames[0].bytes.end()), kGga);
    EXPECT_FALSE(frames[0].cut);
    EXPECT_EQ(frames[1].kind, FrameKind::Ubx);
    EXPECT_EQ(frames[1].ubxClass, 0x01);
    EXPECT_EQ(frames[1].ubxId, 0x04);
    EXPECT_EQ(frames[1].payload().size(), 18u);
    EXPECT_EQ(frames[2].kind, FrameKind::Rtcm3);
    EXPECT_EQ(frames[2].rtcmMessage, 1005);
    EXPECT_EQ(binary::describeFrame(frames[0]), kGga.substr(0, kGga.size() - 2));
    EXPECT_EQ(binary::describeFrame(frames[1]), "UBX NAV-DOP 18 bytes");
    EXPECT_EQ(binary::describeFrame(frames[2]), "RTCM3 1005 station 2003 4 bytes");
}

TEST(StreamFramerTest, WrongChecksumSkipsOneByteSoAFrameInsideIsFound)
{
    // A false header whose length covers a real frame: when its checksum fails, the real
    // frame inside it must still come out.
    std::vector<std::uint8_t> stream{0xB5, 0x62, 0x01, 0x07, 30, 0x00};
    append(stream, kNavDop);
    stream.resize(stream.size() + 8, 0x00);  // the rest of the false frame's claimed length
    append(stream, bytesOf(kGga));
    StreamFramer framer;
    const auto frames = recorded::frames(framer, stream);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].bytes, kNavDop);
    EXPECT_EQ(frames[1].kind, FrameKind::Nmea);
    EXPECT_EQ(framer.counts().badUbxChecksums, 1u);

    // A flipped bit in a real frame and in an RTCM3 frame: both refused, nothing given out.
    auto broken = kNavDop;
    broken[10] ^= 0x01;
    auto rtcm = rtcm3Frame({0x3E, 0xD7, 0xD3, 0x00});
    rtcm[4] ^= 0x80;
    append(broken, rtcm);
    StreamFramer strict;
    EXPECT_TRUE(recorded::frames(strict, broken).empty());
    EXPECT_EQ(strict.counts().badUbxChecksums, 1u);
    EXPECT_EQ(strict.counts().badRtcm3Checksums, 1u);
    EXPECT_EQ(strict.counts().bytesSkipped, broken.size());
}

TEST(StreamFramerTest, LengthOf65535NeitherStallsNorGrows)
{
    std::vector<std::uint8_t> stream{0xB5, 0x62, 0x01, 0x07, 0xFF, 0xFF};
    append(stream, bytesOf(kGga));
    append(stream, kNavDop);
    StreamFramer framer;
    framer.feed(stream);
    Frame frame;
    // Given out at once, without waiting for 65 kB that will never come.
    ASSERT_TRUE(framer.next(frame));
    EXPECT_EQ(frame.kind, FrameKind::Nmea);
    ASSERT_TRUE(framer.next(frame));
    EXPECT_EQ(frame.bytes, kNavDop);
    EXPECT_EQ(framer.counts().oversizeLengths, 1u);
    EXPECT_EQ(framer.pending(), 0u);

    // A header under the cap is waited for, but never for more than the cap.
    StreamFramer capped(1024, 512);
    const std::vector<std::uint8_t> header{0xB5, 0x62, 0x01, 0x07, 0x00, 0x02};  // 512 bytes
    capped.feed(header);
    const std::vector<std::uint8_t> filler(100000, 0x00);
    capped.feed(filler);
    EXPECT_FALSE(capped.next(frame));
    EXPECT_EQ(capped.pending(), 0u) << "the false header was refused once its length arrived";
    EXPECT_EQ(capped.counts().badUbxChecksums, 1u);
}

TEST(StreamFramerTest, TruncatedFramesAtTheEndGiveUpTheirBytes)
{
    // A header that will never be completed hides the lines after it only until the stream
    // ends; then they come out.
    std::vector<std::uint8_t> stream{0xB5, 0x62, 0x01, 0x07, 0x5C, 0x00, 0x01, 0x02};
    append(stream, bytesOf(kGga));
    StreamFramer framer;
    framer.feed(stream);
    Frame frame;
    EXPECT_FALSE(framer.next(frame));
    framer.drain();
    ASSERT_TRUE(framer.next(frame));
    EXPECT_EQ(std::string(frame.bytes.begin(), frame.bytes.end()), kGga);
    EXPECT_FALSE(framer.next(frame));
    EXPECT_EQ(framer.counts().truncatedFrames, 1u);
    EXPECT_EQ(framer.counts().bytesSkipped, 8u);

    // Half a line at the end: given out as cut, for the codec to judge.
    StreamFramer tail;
    const auto partial = bytesOf("$GPGGA,0927");
    const auto frames = recorded::frames(tail, partial);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_TRUE(frames[0].cut);
    EXPECT_EQ(tail.counts().cutLines, 1u);
}

TEST(StreamFramerTest, UbxInsideAnNmeaLineEndsTheLine)
{
    std::vector<std::uint8_t> stream = bytesOf("$GPGGA,092750.000,5321.68");
    append(stream, kNavDop);
    append(stream, bytesOf(",N,00630.3372,W,1,8*76\r\n"));
    append(stream, bytesOf(kGga));
    StreamFramer framer;
    const auto frames = recorded::frames(framer, stream);
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0].kind, FrameKind::Nmea);
    EXPECT_TRUE(frames[0].cut);
    EXPECT_EQ(std::string(frames[0].bytes.begin(), frames[0].bytes.end()), "$GPGGA,092750.000,5321.68");
    EXPECT_EQ(frames[1].bytes, kNavDop);
    EXPECT_EQ(std::string(frames[2].bytes.begin(), frames[2].bytes.end()), kGga);
    EXPECT_EQ(framer.counts().bytesSkipped, std::string_view(",N,00630.3372,W,1,8*76\r\n").size());
}

TEST(StreamFramerTest, LineEndsAndTheLineLimit)
{
    {
        SCOPED_TRACE("CR LF split across chunks, CR alone, LF alone");
        StreamFramer framer;
        std::vector<Frame> frames;
        Frame frame;
        for (const char* chunk : {"$A*00\r", "\n$B*00\r$C*00\n", "$D*00\r\n"}) {
            framer.feed(bytesOf(chunk));
            while (framer.next(frame)) frames.push_back(frame);
        }
        ASSERT_EQ(frames.size(), 4u);
        EXPECT_EQ(std::string(frames[0].bytes.begin(), frames[0].bytes.end()), "$A*00\r");
        EXPECT_EQ(std::string(frames[1].bytes.begin(), frames[1].bytes.end()), "$B*00\r");
        EXPECT_EQ(std::string(frames[2].bytes.begin(), frames[2].bytes.end()), "$C*00\n");
        EXPECT_EQ(std::string(frames[3].bytes.begin(), frames[3].bytes.end()), "$D*00\r\n");
        EXPECT_EQ(framer.counts().bytesSkipped, 0u) << "the LF of a split CR LF is the line's";
        EXPECT_EQ(framer.counts().lateLineFeeds, 1u);
    }
    {
        SCOPED_TRACE("a line of the limit or more is dropped whole, the next one read");
        StreamFramer framer(82);
        std::string longLine = "$GPXXX," + std::string(200, 'A') + "*00\r\n";
        std::vector<std::uint8_t> stream = bytesOf(longLine);
        append(stream, bytesOf("!AIVDM,1*00\r\n"));
        const auto frames = recorded::frames(framer, stream);
        ASSERT_EQ(frames.size(), 1u);
        EXPECT_EQ(frames[0].bytes[0], '!');
        EXPECT_EQ(framer.counts().overlongLines, 1u);
        EXPECT_EQ(framer.counts().bytesSkipped, longLine.size());
    }
    {
        SCOPED_TRACE("limit counts the line end, as the serial reader does");
        StreamFramer framer(8);
        const auto frames = recorded::frames(framer, bytesOf("$A*0000\n$A*000\n"));
        ASSERT_EQ(frames.size(), 1u);
        EXPECT_EQ(frames[0].bytes.size(), 7u);
    }
}

TEST(StreamFramerTest, RandomBytesBetweenFramesLoseNoFrame)
{
    std::mt19937 random(20261208);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> gap(0, 300);
    std::vector<std::uint8_t> stream;
    std::vector<std::vector<std::uint8_t>> sent;
    for (int i = 0; i < 300; ++i) {
        for (int n = gap(random); n > 0; --n) {
            auto value = static_cast<std::uint8_t>(byte(random));
            // A '$' in noise starts a line that swallows what follows up to its end, as on
            // the serial line; only binary frames are promised here.
            if (value == '$' || value == '!') value = 0x00;
            stream.push_back(value);
        }
        std::vector<std::uint8_t> payload(static_cast<std::size_t>(gap(random)));
        for (auto& b : payload) b = static_cast<std::uint8_t>(byte(random));
        sent.push_back(i % 3 == 0 ? rtcm3Frame(payload) : binary::ubxFrame(0x01, static_cast<std::uint8_t>(i), payload));
        append(stream, sent.back());
    }
    StreamFramer framer;
    std::vector<std::vector<std::uint8_t>> received;
    for (const Frame& frame : recorded::frames(framer, stream, 1000))
        if (frame.kind != FrameKind::Nmea) received.push_back(frame.bytes);
    EXPECT_EQ(received, sent);
}
