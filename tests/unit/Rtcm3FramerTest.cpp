// SPDX-License-Identifier: BSD-2-Clause
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "binary/Crc24q.h"
#include "fakes/TestData.h"
#include "sources/Rtcm3Framer.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// A frame of the given message number and station with filler, CRC appended.
Bytes frame(std::uint16_t type, std::uint16_t station, std::size_t length)
{
    Bytes bytes = {0xD3, static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length & 0xFF),
                   static_cast<std::uint8_t>(type >> 4),
                   static_cast<std::uint8_t>(((type & 0xF) << 4) | (station >> 8)),
                   static_cast<std::uint8_t>(station & 0xFF)};
    for (std::size_t i = 3; i < length; ++i) bytes.push_back(static_cast<std::uint8_t>(i * 37));
    const std::uint32_t crc = binary::crc24q(bytes);
    bytes.push_back(static_cast<std::uint8_t>(crc >> 16));
    bytes.push_back(static_cast<std::uint8_t>(crc >> 8));
    bytes.push_back(static_cast<std::uint8_t>(crc));
    return bytes;
}

std::vector<Bytes> cut(Rtcm3Framer& framer, const Bytes& input, std::size_t piece)
{
    std::vector<Bytes> frames;
    for (std::size_t at = 0; at < input.size(); at += piece) {
        const auto size = std::min(piece, input.size() - at);
        framer.feed(std::span(input.data() + at, size),
                    [&](std::span<const std::uint8_t> f) { frames.emplace_back(f.begin(), f.end()); });
    }
    return frames;
}

TEST(Rtcm3FramerTest, FindsCheckedFramesAmongNoiseDamageAndSplits)
{
    const Bytes a = frame(1005, 633, 19);
    const Bytes b = frame(1077, 633, 300);
    Bytes damaged = frame(1087, 633, 40);
    damaged[20] ^= 0x01;
    // A 0xD3 whose "length" runs into the next real frame must not swallow it.
    const Bytes fakeStart = {0xD3, 0x00, 0x10, 0x55};
    Bytes input = {'I', 'C', 'Y', '\r', '\n', 0xD3};
    for (const Bytes* part : std::initializer_list<const Bytes*>{&a, &damaged, &fakeStart, &b, &a}) input.insert(input.end(), part->begin(), part->end());

    for (const std::size_t piece : {std::size_t{1}, std::size_t{7}, input.size()}) {
        SCOPED_TRACE(piece);
        Rtcm3Framer framer;
        const auto frames = cut(framer, input, piece);
        ASSERT_EQ(frames.size(), 3u);
        EXPECT_EQ(frames[0], a);
        EXPECT_EQ(frames[1], b);
        EXPECT_EQ(frames[2], a);
        EXPECT_EQ(framer.framesChecked(), 3u);
        EXPECT_GE(framer.crcFailures(), 2u);
        EXPECT_EQ(framer.bytesPending(), 0u);
        EXPECT_EQ(framer.bytesSkipped(), input.size() - 2 * a.size() - b.size());
    }
    EXPECT_EQ(Rtcm3Framer::messageType(b), 1077);
    EXPECT_EQ(Rtcm3Framer::stationId(a), 633);
    EXPECT_EQ(Rtcm3Framer::stationId(frame(1019, 12, 61)), std::nullopt);  // a satellite, not a station
}

TEST(Rtcm3FramerTest, HoldsAnUnfinishedFrameUntilItsRestOrAReset)
{
    const Bytes b = frame(1230, 7, 8);
    Rtcm3Framer framer;
    int frames = 0;
    framer.feed(std::span(b.data(), b.size() - 1), [&](auto) { ++frames; });
    EXPECT_EQ(frames, 0);
    EXPECT_EQ(framer.bytesPending(), b.size() - 1);
    framer.reset();
    framer.feed(std::span(b.data() + b.size() - 1, 1), [&](auto) { ++frames; });
    EXPECT_EQ(frames, 0);
    framer.feed(b, [&](auto) { ++frames; });
    EXPECT_EQ(frames, 1);
}

TEST(Rtcm3FramerTest, CutsTheRecordedStreamAsGpsdDecodedIt)
{
    REQUIRE_TESTDATA(root);
    std::ifstream file(root / "rtcm3/rtcm3.2.log", std::ios::binary);
    const Bytes log((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::vector<std::pair<std::uint16_t, std::optional<std::uint16_t>>> got;
    Rtcm3Framer framer;
    framer.feed(log, [&](std::span<const std::uint8_t> f) {
        got.emplace_back(Rtcm3Framer::messageType(f), Rtcm3Framer::stationId(f));
    });
    std::ifstream chk(root / "rtcm3/rtcm3.2.log.chk");
    std::size_t index = 0;
    for (std::string line; std::getline(chk, line); ++index) {
        ASSERT_LT(index, got.size());
        const auto type = line.find("\"type\":");
        const auto station = line.find("\"station_id\":");
        ASSERT_NE(type, std::string::npos);
        EXPECT_EQ(got[index].first, std::stoi(line.substr(type + 7))) << index;
        if (station != std::string::npos) {
            EXPECT_EQ(got[index].second, std::stoi(line.substr(station + 13))) << index;
        }
    }
    EXPECT_EQ(index, got.size());
    EXPECT_EQ(index, 192u);
}

}  // namespace
