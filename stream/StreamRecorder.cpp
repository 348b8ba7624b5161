// SPDX-License-Identifier: BSD-2-Clause
#include "stream/StreamRecorder.h"

#include <cerrno>
#include <cstring>
#include <ctime>

#include <unistd.h>

#include "stream/OutputFile.h"

namespace {

// The writer wakes this often, or earlier when this much is waiting, so a crash loses at
// most a fraction of a second and the reader rarely has to wake it.
constexpr auto kWriteInterval = std::chrono::milliseconds(200);
constexpr std::size_t kWakeBytes = 64u << 10;

void closeIfOpen(int& fd)
{
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

StreamRecorder::~StreamRecorder()
{
    stop();
}

std::string StreamRecorder::headerLine(const std::string& port, const std::string& rate,
                                       std::chrono::system_clock::time_point started)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(started);
    std::tm utc{};
    ::gmtime_r(&seconds, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return std::string("# GPS Desk ") + GPSDESK_VERSION + ", " + port + " at " + rate
           + ", started " + stamp + "\n";
}

bool StreamRecorder::start(const std::string& path, const std::string& port,
                           const std::string& rate, const std::string& timesPath)
{
    stop();
    const std::string times = timesPath.empty() ? path + ".times" : timesPath;
    const auto fail = [&](const std::string& reason) {
        closeIfOpen(m_log);
        closeIfOpen(m_times);
        std::lock_guard lock(m_mutex);
        m_error = reason;
        return false;
    };
    const auto failed = [&](const std::string& file) {
        return fail(file + ": " + std::strerror(errno));
    };
    // Both checked before either is cut, so that a refused times file leaves an earlier log.
    for (const std::string* file : {&path, &times})
        if (std::string refused = OutputFile::refusal(*file); !refused.empty()) return fail(refused);
    std::string refused;
    m_log = OutputFile::openForWriting(path, refused);
    if (m_log < 0) return fail(refused);
    m_times = OutputFile::openForWriting(times, refused);
    if (m_times < 0) return fail(refused);
    const std::string header = headerLine(port, rate, std::chrono::system_clock::now());
    if (!writeAll(m_log, header)) return failed(path);
    const std::string timesHeader =
        "# arrival times: byte offset of each line in the log, milliseconds after the start\n";
    if (!writeAll(m_times, timesHeader)) return failed(times);

    m_offset = header.size();
    m_timesOffset = timesHeader.size();
    m_bytesWritten.store(header.size());
    {
        std::lock_guard lock(m_mutex);
        m_pending = {};
        m_overflow = false;
        m_stopRequested = false;
        m_path = path;
        m_error.clear();
        m_started = std::chrono::steady_clock::now();
    }
    m_recording.store(true);
    m_writer = std::thread(&StreamRecorder::run, this);
    return true;
}

void StreamRecorder::stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopRequested = true;
    }
    m_wake.notify_one();
    if (m_writer.joinable()) m_writer.join();
    m_recording.store(false);
    closeIfOpen(m_log);
    closeIfOpen(m_times);
}

std::string StreamRecorder::path() const
{
    std::lock_guard lock(m_mutex);
    return m_path;
}

std::string StreamRecorder::error() const
{
    std::lock_guard lock(m_mutex);
    return m_error;
}

void StreamRecorder::lineReceived(const ByteBuffer& raw)
{
    if (!m_recording.load(std::memory_order_relaxed) || raw.empty()) return;
    bool wake = false;
    {
        std::lock_guard lock(m_mutex);
        if (m_overflow || m_stopRequested) return;
        if (m_pending.bytes.size() + raw.size() > kMaxBufferedBytes) {
            // Dropping lines would leave a gap nobody sees; an ended recording is honest.
            m_overflow = true;
            wake = true;
        } else {
            const auto milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::steady_clock::now() - m_started);
            m_pending.bytes.append(raw.begin(), raw.end());
            m_pending.lines.emplace_back(static_cast<std::uint32_t>(raw.size()),
                                         static_cast<std::uint64_t>(milliseconds.count()));
            wake = m_pending.bytes.size() >= kWakeBytes;
        }
    }
    if (wake) m_wake.notify_one();
}

bool StreamRecorder::writeAll(int fd, const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

void StreamRecorder::run()
{
    for (;;) {
        Pending batch;
        bool overflow = false;
        bool stopRequested = false;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait_for(lock, kWriteInterval, [&] {
                return m_stopRequested || m_overflow || m_pending.bytes.size() >= kWakeBytes;
            });
            std::swap(batch, m_pending);
            overflow = m_overflow;
            stopRequested = m_stopRequested;
        }
        if (!batch.bytes.empty()) {
            std::string times;
            times.reserve(batch.lines.size() * 20);
            std::uint64_t offset = m_offset;
            for (const auto& [length, milliseconds] : batch.lines) {
                times += std::to_string(offset) + ' ' + std::to_string(milliseconds) + '\n';
                offset += length;
            }
            // The log first: a times line never points past the end of the log.
            const bool written = writeAll(m_log, batch.bytes) && writeAll(m_times, times);
            if (!written) {
                const int saved = errno;
                // Cut back to the last whole line, so the files end cleanly.
                (void)!::ftruncate(m_log, static_cast<off_t>(m_offset));
                (void)!::ftruncate(m_times, static_cast<off_t>(m_timesOffset));
                m_recording.store(false);
                {
                    std::lock_guard lock(m_mutex);
                    m_error = m_path + ": " + std::strerror(saved);
                }
                if (m_listener) m_listener(StopReason::WriteFailed, saved);
                return;
            }
            m_offset = offset;
            m_timesOffset += times.size();
            m_bytesWritten.store(offset);
        }
        if (overflow) {
            m_recording.store(false);
            if (m_listener) m_listener(StopReason::TooSlow, 0);
            return;
        }
        if (stopRequested) return;
    }
}
