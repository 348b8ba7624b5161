// SPDX-License-Identifier: BSD-2-Clause
#include "sim/ReplayLog.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <limits>

#include <sys/stat.h>

namespace sim {

namespace {

constexpr std::size_t kReadBytes = 64u << 10;
constexpr std::streamsize kMaxTimesLine = 64;

}  // namespace

bool ReplayLog::looksLikeSentence(const std::string& line)
{
    if (line.size() < 7 || line.size() > 200 || (line[0] != '$' && line[0] != '!')) return false;
    const std::size_t comma = line.find(',');
    if (comma < 4 || comma > 7 || comma == std::string::npos) return false;
    for (std::size_t i = 1; i < comma; ++i)
        if (!((line[i] >= 'A' && line[i] <= 'Z') || (line[i] >= '0' && line[i] <= '9')))
            return false;
    for (const char c : line)
        if (c < 0x20 || c > 0x7E) return false;
    return true;
}

bool ReplayLog::open(const std::string& path, const std::string& timesPath)
{
    m_path = path;
    m_error.clear();
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) {
        m_error = path + ": " + std::strerror(errno);
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        m_error = path + ": is a folder";
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        m_error = path + ": not a file (a replay needs a log it can seek in)";
        return false;
    }
    m_size = static_cast<std::uint64_t>(info.st_size);
    if (m_size == 0) {
        m_error = path + ": the file is empty";
        return false;
    }
    m_file.open(path, std::ios::binary);
    if (!m_file) {
        m_error = path + ": " + std::strerror(errno);
        return false;
    }

    // A log with binary frames near its start is replayed frame by frame.
    {
        std::string head(std::min<std::uint64_t>(m_size, kSniffBytes), '\0');
        m_file.read(head.data(), static_cast<std::streamsize>(head.size()));
        head.resize(static_cast<std::size_t>(m_file.gcount()));
        m_file.clear();
        m_file.seekg(0);
        binary::StreamFramer sniff;
        sniff.feed({reinterpret_cast<const std::uint8_t*>(head.data()), head.size()});
        binary::Frame frame;
        while (sniff.next(frame)) {
            if (frame.kind != binary::FrameKind::Nmea) {
                m_framer.emplace();
                break;
            }
        }
    }
    if (m_framer) {
        if (!timesPath.empty()) m_timesPath = timesPath;
        seek(0);
        return true;
    }

    // Look for one sentence near the start, reading no more than the sniff allows.
    bool found = false;
    m_readLimit = kSniffBytes;
    while (!found) {
        const auto line = next();
        if (!line) break;
        found = looksLikeSentence(line->text);
    }
    m_readLimit.reset();
    if (!found) {
        m_error = path + ": not an NMEA log (no sentence in its first "
                  + std::to_string(std::min<std::uint64_t>(m_size, kSniffBytes) / 1024) + " KiB)";
        m_file.close();
        return false;
    }

    if (!timesPath.empty())
        m_timesPath = timesPath;
    else if (std::error_code ec; std::filesystem::is_regular_file(path + ".times", ec))
        m_timesPath = path + ".times";
    seek(0);
    return true;
}

bool ReplayLog::fill()
{
    if (m_atEnd) return false;
    // Keep only the line being read; a line never grows past the limit (it is skipped).
    m_buffer.erase(0, m_scan);
    m_bufferStart += m_scan;
    m_scan = 0;
    const std::size_t had = m_buffer.size();
    m_buffer.resize(had + kReadBytes);
    m_file.read(m_buffer.data() + had, static_cast<std::streamsize>(kReadBytes));
    const auto got = static_cast<std::size_t>(m_file.gcount());
    m_buffer.resize(had + got);
    if (got == 0) m_atEnd = true;
    return got > 0;
}

std::optional<ReplayLog::Line> ReplayLog::nextFrame()
{
    for (;;) {
        if (m_framer->next(m_frame)) {
            Line line;
            line.text.assign(m_frame.bytes.begin(), m_frame.bytes.end());
            line.offset = m_fed - m_framer->pending() - m_frame.bytes.size();
            line.raw = true;
            m_lineStart = m_fed - m_framer->pending();
            return line;
        }
        if (m_atEnd) return std::nullopt;
        char chunk[kReadBytes];
        m_file.read(chunk, static_cast<std::streamsize>(sizeof chunk));
        const auto got = static_cast<std::size_t>(m_file.gcount());
        if (got == 0) {
            m_atEnd = true;
            m_framer->drain();
            continue;
        }
        m_fed += got;
        m_framer->feed({reinterpret_cast<const std::uint8_t*>(chunk), got});
    }
}

std::optional<ReplayLog::Line> ReplayLog::next()
{
    if (m_framer) return nextFrame();
    for (;;) {
        const std::size_t end = m_buffer.find('\n', m_scan);
        if (end == std::string::npos) {
            if (m_buffer.size() - m_scan > kMaxLineBytes) {
                // Not a sentence: drop what was read of it and keep dropping to its end.
                m_skipping = true;
                m_scan = m_buffer.size();
            }
            if (m_readLimit && m_bufferStart + m_buffer.size() >= *m_readLimit) return std::nullopt;
            if (fill()) continue;
            if (m_skipping || m_scan >= m_buffer.size()) return std::nullopt;
            // The last line may lack its line feed.
            std::string text = m_buffer.substr(m_scan);
            const std::uint64_t offset = m_bufferStart + m_scan;
            m_scan = m_buffer.size();
            m_lineStart = m_bufferStart + m_scan;
            while (!text.empty() && text.back() == '\r') text.pop_back();
            if (text.empty() || (text[0] != '$' && text[0] != '!')) return std::nullopt;
            return Line{std::move(text), offset, timeAt(offset)};
        }
        const std::uint64_t offset = m_bufferStart + m_scan;
        const bool skipped = m_skipping || end - m_scan > kMaxLineBytes;
        if (skipped) {
            m_scan = end + 1;
            m_lineStart = m_bufferStart + m_scan;
            m_skipping = false;
            continue;
        }
        std::string text = m_buffer.substr(m_scan, end - m_scan);
        m_scan = end + 1;
        m_lineStart = m_bufferStart + m_scan;
        while (!text.empty() && text.back() == '\r') text.pop_back();
        if (text.empty() || (text[0] != '$' && text[0] != '!')) continue;
        return Line{std::move(text), offset, timeAt(offset)};
    }
}

void ReplayLog::seek(std::uint64_t offset)
{
    if (m_framer) {
        // Frames are found again from the offset on; the framer skips what is not one.
        m_file.clear();
        m_atEnd = false;
        offset = std::min(offset, m_size);
        m_file.seekg(static_cast<std::streamoff>(offset));
        m_framer.emplace();
        m_fed = offset;
        m_lineStart = offset;
        return;
    }
    m_file.clear();
    m_atEnd = false;
    m_buffer.clear();
    m_scan = 0;
    offset = std::min(offset, m_size);
    // From the byte before: the rest of the line it belongs to is skipped, and when it is
    // a line feed that rest is empty and the line at the offset comes next.
    const std::uint64_t start = offset > 0 ? offset - 1 : 0;
    m_file.seekg(static_cast<std::streamoff>(start));
    m_skipping = offset > 0;
    m_bufferStart = start;
    m_lineStart = offset;
    openTimes();
}

void ReplayLog::openTimes()
{
    m_nextTime.reset();
    if (!m_timesPath) return;
    m_times.close();
    m_times.clear();
    m_times.open(*m_timesPath, std::ios::binary);
}

std::optional<std::uint64_t> ReplayLog::timeAt(std::uint64_t offset)
{
    if (!m_times.is_open()) return std::nullopt;
    char text[kMaxTimesLine];
    while (!m_nextTime || m_nextTime->first < offset) {
        if (!m_times.getline(text, kMaxTimesLine)) {
            if (m_times.eof()) return std::nullopt;
            // An over-long line: not ours; skip it.
            m_times.clear();
            m_times.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
            continue;
        }
        if (text[0] == '#') continue;
        unsigned long long at = 0, milliseconds = 0;
        if (std::sscanf(text, "%llu %llu", &at, &milliseconds) != 2) continue;
        m_nextTime = std::make_pair(at, milliseconds);
    }
    if (m_nextTime->first != offset) return std::nullopt;
    return m_nextTime->second;
}

}  // namespace sim
