// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <vector>

#include "binary/StreamFramer.h"

// Reading the recorded binary logs for the binary layer's tests.
namespace recorded {

// The log's bytes after its '#' provenance header (gpsd's header, not receiver output).
inline std::vector<std::uint8_t> stream(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::size_t start = 0;
    while (start < bytes.size() && bytes[start] == '#') {
        while (start < bytes.size() && bytes[start] != '\n') ++start;
        ++start;
    }
    bytes.erase(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(std::min(start, bytes.size())));
    return bytes;
}

// Every frame of bytes fed in chunks of chunkSize, the stream then drained.
inline std::vector<binary::Frame> frames(binary::StreamFramer& framer, std::span<const std::uint8_t> bytes,
                                         std::size_t chunkSize = 4096)
{
    std::vector<binary::Frame> out;
    binary::Frame frame;
    for (std::size_t at = 0; at < bytes.size(); at += chunkSize) {
        framer.feed(bytes.subspan(at, std::min(chunkSize, bytes.size() - at)));
        while (framer.next(frame)) out.push_back(frame);
    }
    framer.drain();
    while (framer.next(frame)) out.push_back(frame);
    return out;
}

inline std::vector<binary::Frame> frames(std::span<const std::uint8_t> bytes, std::size_t chunkSize = 4096)
{
    binary::StreamFramer framer;
    return frames(framer, bytes, chunkSize);
}

}  // namespace recorded
