// SPDX-License-Identifier: BSD-2-Clause
// The binary road per frame: a mixed stream (UBX navigation messages of a simulated dual-band
// receiver, NMEA lines, RTCM3 frames) through the framer, and the framed UBX messages through
// their decoders. Figures are frames per CPU-second.

#include <cstdint>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "binary/Crc24q.h"
#include "binary/Rtcm3.h"
#include "binary/StreamFramer.h"
#include "binary/UbxMessages.h"
#include "sim/UbxReceiver.h"

namespace {

std::vector<std::uint8_t> mixedStream()
{
    sim::UbxReceiver receiver;
    sim::UbxEpoch epoch;
    epoch.latitudeDeg = 47.1290927;
    epoch.longitudeDeg = 15.2120432;
    epoch.heightMslM = 826.5;
    for (std::uint8_t sv = 1; sv <= 40; ++sv) {
        const auto gnss = static_cast<binary::UbxGnss>(sv % 4 == 0 ? 0 : sv % 4 == 1 ? 2 : sv % 4 == 2 ? 3 : 6);
        epoch.satellites.push_back({gnss, sv, static_cast<std::int8_t>(sv * 2), static_cast<std::int16_t>(sv * 9), 40,
                                    sv % 3 != 0, {0, static_cast<std::uint8_t>(gnss == binary::UbxGnss::Glonass ? 2 : 5)}});
    }
    const std::string gga = "$GNGGA,110425.00,4707.74556,N,01512.72259,E,5,12,0.62,826.6,M,42.7,M,1.0,0000*7A\r\n";
    std::vector<std::uint8_t> msm(244, 0x5A);
    msm[0] = 0x43;  // 1077
    msm[1] = 0x50;
    std::vector<std::uint8_t> rtcm{0xD3, static_cast<std::uint8_t>(msm.size() >> 8), static_cast<std::uint8_t>(msm.size() & 0xFF)};
    rtcm.insert(rtcm.end(), msm.begin(), msm.end());
    const std::uint32_t crc = binary::crc24q(rtcm);
    rtcm.insert(rtcm.end(), {static_cast<std::uint8_t>(crc >> 16), static_cast<std::uint8_t>(crc >> 8), static_cast<std::uint8_t>(crc)});

    std::vector<std::uint8_t> stream;
    for (std::uint32_t n = 0; n < 200; ++n) {
        epoch.timeOfWeekMs = n * 1000;
        const auto frames = receiver.measurement(epoch);
        stream.insert(stream.end(), frames.begin(), frames.end());
        for (int i = 0; i < 6; ++i) stream.insert(stream.end(), gga.begin(), gga.end());
        stream.insert(stream.end(), rtcm.begin(), rtcm.end());
    }
    return stream;
}

void BM_FrameMixedStream(benchmark::State& state)
{
    const std::vector<std::uint8_t> stream = mixedStream();
    const std::size_t chunk = 4096;
    std::uint64_t frames = 0;
    binary::Frame frame;
    for (auto _ : state) {
        binary::StreamFramer framer;
        for (std::size_t at = 0; at < stream.size(); at += chunk) {
            framer.feed(std::span<const std::uint8_t>(stream).subspan(at, std::min(chunk, stream.size() - at)));
            while (framer.next(frame)) ++frames;
        }
        benchmark::DoNotOptimize(frame.bytes.data());
    }
    state.counters["frames"] = benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * stream.size()));
}
BENCHMARK(BM_FrameMixedStream)->Unit(benchmark::kMillisecond);

void BM_DecodeFramedMessages(benchmark::State& state)
{
    std::vector<binary::Frame> frames;
    binary::StreamFramer framer;
    framer.feed(mixedStream());
    binary::Frame frame;
    while (framer.next(frame))
        if (frame.kind != binary::FrameKind::Nmea) frames.push_back(frame);
    std::uint64_t decoded = 0;
    for (auto _ : state) {
        for (const binary::Frame& f : frames) {
            if (f.kind == binary::FrameKind::Ubx) {
                const binary::UbxDecoded result = binary::decodeUbx(f.ubxClass, f.ubxId, f.payload());
                benchmark::DoNotOptimize(result.record.has_value());
            } else {
                const binary::Rtcm3Decoded result = binary::decodeRtcm3(f.payload());
                benchmark::DoNotOptimize(result.message);
            }
            ++decoded;
        }
    }
    state.counters["frames"] = benchmark::Counter(static_cast<double>(decoded), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DecodeFramedMessages)->Unit(benchmark::kMillisecond);

}  // namespace
