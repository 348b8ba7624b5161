// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "stream/LineTap.h"

// Records the receiver's stream to a plain NMEA file: every line byte for byte as it
// arrived, after one comment line saying where it came from:
//
//   # GPS Desk 0.1.0, /dev/ttyUSB0 at 4800, started 2026-12-08T08:40:39Z
//
// Arrival times go to a companion file, "<file>.times", so that the log itself stays what
// every NMEA reader expects. After its own "#" line it holds one "<offset> <milliseconds>"
// line per recorded line: the byte offset of the line in the log and the time it arrived,
// counted from the start of the recording.
//
// The reader thread only appends to a bounded buffer under a short lock; a writer thread of
// the recorder's own does the file I/O. When a write fails (full disk) or the buffer fills
// because the disk does not keep up, the recording stops by itself and the listener is
// told; the connection is not affected. start(), stop() and the queries: main thread.
class StreamRecorder : public LineTap {
public:
    enum class StopReason { WriteFailed, TooSlow };
    // Called on the writer thread when a recording stops by itself; errno value for
    // WriteFailed.
    using StopListener = std::function<void(StopReason, int error)>;

    static constexpr std::size_t kMaxBufferedBytes = 4u << 20;

    StreamRecorder() = default;
    ~StreamRecorder() override;  // stop()
    StreamRecorder(const StreamRecorder&) = delete;
    StreamRecorder& operator=(const StreamRecorder&) = delete;

    void setStopListener(StopListener listener) { m_listener = std::move(listener); }

    // Creates (truncates) the log and its times file and writes the first lines. Ends a
    // recording in progress first. False, with error() set (a user-facing text), when either
    // file cannot be written or is a link or not a plain file. timesPath empty:
    // "<path>.times".
    bool start(const std::string& path, const std::string& port, const std::string& rate,
               const std::string& timesPath = {});
    // Writes what is buffered and closes the files. Idempotent.
    void stop();

    bool recording() const { return m_recording.load(); }
    // Bytes of the log on disk so far, first line included.
    std::uint64_t bytesWritten() const { return m_bytesWritten.load(); }
    std::string path() const;
    std::string error() const;

    // "# GPS Desk <version>, <port> at <rate>, started <UTC>" for the given time.
    static std::string headerLine(const std::string& port, const std::string& rate,
                                  std::chrono::system_clock::time_point started);

    void lineReceived(const ByteBuffer& raw) override;
    void sentenceAccepted(const ByteBuffer&) override {}

private:
    struct Pending {
        std::string bytes;
        std::vector<std::pair<std::uint32_t, std::uint64_t>> lines;  // length, milliseconds
    };

    void run();
    bool writeAll(int fd, const std::string& text);

    StopListener m_listener;
    std::thread m_writer;
    int m_log = -1;     // writer thread while recording
    int m_times = -1;
    std::uint64_t m_offset = 0;       // end of the log
    std::uint64_t m_timesOffset = 0;  // end of the times file

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    Pending m_pending;
    bool m_overflow = false;
    bool m_stopRequested = false;
    std::string m_path;
    std::string m_error;
    std::chrono::steady_clock::time_point m_started;

    std::atomic<bool> m_recording{false};
    std::atomic<std::uint64_t> m_bytesWritten{0};
};
