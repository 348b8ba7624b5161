// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/ByteBuffer.h"

// One open serial device in raw 8N1 mode with a half-second read time-out, plus the
// class-wide listing of the serial devices of the machine.
//
// A port object is driven by one thread at a time; only isOpen(), hungUp() and cancel() may
// also be used from another thread. Buffers returned by the read operations are new and
// belong to the caller.
//
// Reads take whatever the device has in one call into an internal buffer and serve bytes
// from there; bytes after a returned line stay for the next read.
class Serial {
public:
    Serial();   // closed, fd -1; clears the owner
    ~Serial();  // closes if open; clears the owner
    Serial(const Serial&) = delete;
    Serial& operator=(const Serial&) = delete;

    // Opens the device exclusively, raw 8N1, receiver on, modem lines ignored, VMIN 0 and
    // VTIME 5 (a read waits at most 0.5 s). The rate is one of "1200", "4800", "9600",
    // "19200", "38400", "57600", "115200", "230400", "460800", "921600" compared as exact
    // text; any other text runs the line at 4800. On failure lastError() says why.
    // Open each port object once.
    bool openPort(const std::string& path, const std::string& rate, bool softwareFlowControl);
    bool isOpen() const;
    // The errno of the last failed open, or of the failed read or write that ended the
    // connection (EIO, ENXIO, ENODEV); 0 when nothing failed. The thread that drives the port.
    int lastError() const { return m_lastError; }
    // True when the rate text is one openPort() knows (anything else runs at 4800).
    static bool isKnownRate(const std::string& rate);
    // True once the device hung up or went away (an unplugged adapter, a closed
    // pseudo-terminal master). Reads and writes then fail at once; only closePort() helps.
    // Cleared by the next successful openPort().
    bool hungUp() const;
    // Also drops bytes received but not yet handed out.
    void closePort();
    // Discards received-but-unread input (the port's own buffer included) and
    // written-but-unsent output.
    void flushPort();
    // Makes a read that is waiting return at once with nothing, and every later read too;
    // for quitting without sitting out a quiet line. For the object's lifetime. Any thread,
    // as long as the object lives.
    void cancel();
    bool cancelled() const;
    // Waits seconds whatever the line does; back at once when cancelled. Reading thread.
    void pause(double seconds);

    // Number of bytes written, in order; stops at the first byte that cannot be written.
    std::uint32_t writePort(const ByteBuffer& bytes);
    // Up to 10 reads of 0.5 s each (about 5 s on a quiet line); false at once when the port
    // is closed or hung up.
    bool readPortChar(std::uint8_t& byte);
    // Up to count bytes; fewer (possibly none) when the line goes quiet; empty when closed.
    ByteBuffer readPortLength(std::uint32_t count);
    // Whatever arrives first within about timeoutSeconds (bytes already received at once);
    // empty on a quiet line, a hang-up, cancel or a closed port.
    ByteBuffer readPortWithin(double timeoutSeconds);
    // Bytes taken from the device since the open, whether or not they made a line.
    std::uint64_t bytesReceived() const { return m_bytesReceived; }
    // The next line ending with terminator (included), at most limit - 1 bytes long.
    // Nothing on a time-out, a read failure, a hang-up or a line of limit bytes or more
    // (those bytes are consumed and lost). An empty buffer when the port is closed or
    // when terminator is 0.
    std::optional<ByteBuffer> readPortUntilChar(std::uint8_t terminator, std::uint32_t limit);
    // The next line, as readPortUntilChar(LF, limit) gives it, except that a CR alone also
    // ends a line (some receivers end lines with CR only). A CR LF pair stays together at the
    // end of the returned line; an LF that comes later than a CR is not a line of its own.
    std::optional<ByteBuffer> readPortLine(std::uint32_t limit);
    // Waits up to `seconds` for bytes of a next line; true as soon as there are some, false
    // on a quiet line, a closed or cancelled port. The LF of a CR LF pair that readPortLine
    // ended at the CR does not count. Reading thread.
    bool waitForInput(double seconds);

private:
    void markHungUpIf(int error);
    // Refills the internal buffer with one read; up to attempts waits of attemptTime each
    // for a first byte. False on time-out, hang-up, cancel or a closed port.
    bool fill(int attempts, std::chrono::milliseconds attemptTime);
    bool fill();  // 10 waits of 0.5 s
    // One read of what arrives within `seconds` into the empty buffer; false for nothing.
    bool fillWithin(double seconds);
    void dropBuffered() { m_begin = m_end = 0; }

    static constexpr std::size_t kBufferSize = 4096;

    // Written only by the thread that opens and closes the port, read from any thread.
    std::atomic<int> m_fd{-1};
    std::atomic<bool> m_hungUp{false};
    std::atomic<bool> m_cancelled{false};
    int m_lastError = 0;
    std::uint64_t m_bytesReceived = 0;  // reading thread only
    // A pipe that cancel() writes to; a waiting read polls it together with the device.
    int m_wakeRead = -1;
    int m_wakeWrite = -1;
    // Received bytes not yet handed out: m_buffer[m_begin, m_end). Reading thread only.
    std::size_t m_begin = 0;
    std::size_t m_end = 0;
    bool m_skipLineFeed = false;  // the last line ended with a CR
    std::uint8_t m_buffer[kBufferSize];
};
