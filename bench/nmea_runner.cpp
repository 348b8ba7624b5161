// SPDX-License-Identifier: BSD-2-Clause
// Whole-process figure for the codec: reads sentence lines from a file (or standard input)
// the way the reader thread does, line feed included and a NUL appended, runs the codec
// path over each and prints the lines per second. Usage: nmea_runner [FILE]

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "bench/NMEACodecPath.h"

int main(int argc, char** argv)
{
    const auto start = std::chrono::steady_clock::now();
    std::FILE* in = argc > 1 ? std::fopen(argv[1], "rb") : stdin;
    if (!in) {
        std::perror(argv[1]);
        return 1;
    }

    std::uint64_t lines = 0, accepted = 0, sink = 0;
    ByteBuffer sentence;
    sentence.reserve(512);
    static char chunk[1 << 16];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, in)) > 0) {
        const char* p = chunk;
        const char* const end = chunk + got;
        while (p < end) {
            const char* feed = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
            const char* stop = feed ? feed + 1 : end;
            sentence.insert(sentence.end(), p, stop);
            p = stop;
            if (!feed) break;  // the line goes on in the next chunk
            sentence.push_back(0);
            ++lines;
            const std::uint64_t result = runCodecPath(sentence);
            accepted += result != 0;
            sink += result;
            sentence.clear();
        }
    }
    if (!sentence.empty()) {
        sentence.push_back(0);
        ++lines;
        const std::uint64_t result = runCodecPath(sentence);
        accepted += result != 0;
        sink += result;
    }
    if (in != stdin) std::fclose(in);

    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%llu lines, %llu accepted, %.3f s, %.0f lines/s (check %llu)\n",
                static_cast<unsigned long long>(lines), static_cast<unsigned long long>(accepted), seconds,
                static_cast<double>(lines) / seconds, static_cast<unsigned long long>(sink % 1000));
    return 0;
}
