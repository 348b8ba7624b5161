// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <fstream>
#include <optional>
#include <string>

#include "binary/StreamFramer.h"

namespace sim {

// A log read for replay, a piece at a time, so a file of any size (or an endless device)
// costs the same small memory. Gives the lines that start with "$" or "!" in file order;
// everything else (comments, binary noise, lines longer than kMaxLineBytes) is skipped.
//
// Arrival times come from the companion file the recorder writes ("<log>.times": a "#"
// line, then "<byte offset> <milliseconds>" per line); a line it does not list has none.
// Single thread.
class ReplayLog {
public:
    struct Line {
        std::string text;                          // without CR LF
        std::uint64_t offset = 0;                  // of its first byte in the file
        std::optional<std::uint64_t> milliseconds;  // arrival, from the times file
        // A log of a receiver speaking a binary protocol is replayed frame by frame as
        // recorded: text holds the frame's bytes with their own line end, if any.
        bool raw = false;
    };

    static constexpr std::size_t kMaxLineBytes = 4096;
    // A file with no sentence this far in is not a log (and /dev/zero ends here).
    static constexpr std::size_t kSniffBytes = 1u << 20;

    // Opens the log and checks that it holds sentences. False with error() set otherwise.
    // timesPath empty: "<path>.times" when that exists.
    bool open(const std::string& path, const std::string& timesPath = {});
    const std::string& error() const { return m_error; }

    std::optional<Line> next();
    // Goes on from the first line that starts at or after the byte offset.
    void seek(std::uint64_t offset);
    bool hasTimes() const { return m_timesPath.has_value(); }
    std::uint64_t size() const { return m_size; }
    std::uint64_t position() const { return m_lineStart; }  // where the next line starts

    // True for a line that looks like an NMEA 0183 sentence (address, comma, printable).
    static bool looksLikeSentence(const std::string& line);

    // The log holds UBX or RTCM 3 frames: it is replayed as cut by the framer.
    bool binary() const { return m_framer.has_value(); }

private:
    bool fill();
    std::optional<Line> nextFrame();
    void openTimes();
    std::optional<std::uint64_t> timeAt(std::uint64_t offset);

    std::ifstream m_file;
    std::string m_path;
    std::string m_error;
    std::uint64_t m_size = 0;
    std::string m_buffer;
    std::size_t m_scan = 0;          // next unread byte in m_buffer
    std::uint64_t m_bufferStart = 0;  // file offset of m_buffer[0]
    std::uint64_t m_lineStart = 0;
    bool m_skipping = false;          // inside an over-long line
    bool m_atEnd = false;
    std::optional<std::uint64_t> m_readLimit;  // while checking the start

    std::optional<std::string> m_timesPath;
    std::ifstream m_times;
    std::optional<std::pair<std::uint64_t, std::uint64_t>> m_nextTime;
    std::optional<binary::StreamFramer> m_framer;  // binary logs only
    binary::Frame m_frame;
    std::uint64_t m_fed = 0;  // bytes of the file given to the framer
};

}  // namespace sim
