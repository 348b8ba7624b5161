// SPDX-License-Identifier: BSD-2-Clause
// The codec path per sentence over the benchmark input. The input file is taken from
// GPSDESK_BENCH_INPUT (written by ../shared/testdata/make-bench); without it, the sentence
// lines of the recorded logs are used directly, which is the same mix for one pass.

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/NMEACodecPath.h"

namespace fs = std::filesystem;

namespace {

void appendSentenceLines(const fs::path& file, std::vector<std::string>& lines)
{
    std::ifstream in(file, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && (line[0] == '$' || line[0] == '!')) lines.push_back(line + "\n");
    }
}

const std::vector<std::string>& benchLines()
{
    static const std::vector<std::string> lines = [] {
        std::vector<std::string> result;
        if (const char* input = std::getenv("GPSDESK_BENCH_INPUT")) {
            appendSentenceLines(input, result);
            return result;
        }
        const fs::path logs = fs::path(GPSDESK_SOURCE_DIR) / ".." / "shared" / "testdata" / "nmea";
        std::error_code error;
        if (!fs::is_directory(logs, error)) return result;
        std::vector<fs::path> files;
        for (const auto& entry : fs::directory_iterator(logs)) {
            if (entry.path().extension() == ".log") files.push_back(entry.path());
        }
        std::sort(files.begin(), files.end());
        for (const auto& file : files) appendSentenceLines(file, result);
        return result;
    }();
    return lines;
}

// Runs `step` on every benchmark line in turn, each handed over as the reader hands it:
// the line with its line feed, plus a NUL. False (the benchmark skipped) without input.
template <typename Step>
bool runOverLines(benchmark::State& state, const char* noInput, Step step)
{
    const auto& lines = benchLines();
    if (lines.empty()) {
        state.SkipWithError(noInput);
        return false;
    }
    ByteBuffer sentence;
    sentence.reserve(512);
    std::size_t next = 0;
    for (auto _ : state) {
        const std::string& line = lines[next];
        next = next + 1 == lines.size() ? 0 : next + 1;
        sentence.assign(line.begin(), line.end());
        sentence.push_back(0);
        step(sentence);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
    return true;
}

void BM_CodecPathPerSentence(benchmark::State& state)
{
    const bool ran = runOverLines(state, "no input: set GPSDESK_BENCH_INPUT or provide ../shared/testdata",
                                  [](ByteBuffer& sentence) { benchmark::DoNotOptimize(runCodecPath(sentence)); });
    if (ran) state.SetLabel(std::to_string(benchLines().size()) + " lines");
}
BENCHMARK(BM_CodecPathPerSentence);

void BM_ChecksumOnly(benchmark::State& state)
{
    runOverLines(state, "no input",
                 [](ByteBuffer& sentence) { benchmark::DoNotOptimize(NMEA::checkSumValid(sentence)); });
}
BENCHMARK(BM_ChecksumOnly);

void BM_SixBitTextField(benchmark::State& state)
{
    // A type 5 ship name: 20 characters at bit 112.
    const std::string payload = "55?MbV02;H;s<HtKR20EHE:0@T4@Dn2222222216L961O5Gf0NSQEp6ClRp888888888880";
    for (auto _ : state) {
        std::vector<bool> bits;
        bits.reserve(payload.size() * 6);
        for (char c : payload) {
            const auto value = NMEA::sixBitToBinary(static_cast<std::uint8_t>(c));
            for (int bit = 5; bit >= 0; --bit) bits.push_back(((value >> bit) & 1) != 0);
        }
        benchmark::DoNotOptimize(NMEA::getAsciiBits(bits, 112, 120));
        benchmark::DoNotOptimize(NMEA::getUnsignedBits(bits, 8, 30));
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_SixBitTextField);

}  // namespace
