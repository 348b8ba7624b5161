// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "sources/SourceMessage.h"
#include "sources/SourceUrl.h"

// A stream of receiver bytes for the reader thread, beside the serial port: open it, read with
// a time-out, write if the source allows it, close. One thread drives a source (the reader
// thread); only cancel() may be called from any other thread, as long as the object lives.
// Reconnecting is the caller's loop: after Closed, close() and open() again.
class ByteSource {
public:
    enum class ReadStatus {
        Data,       // count bytes were read
        Quiet,      // nothing within the time-out; the source is still there
        HungUp,     // the other end went away; message() says how
        Cancelled,  // cancel() was called
    };
    struct ReadResult {
        std::size_t count = 0;
        ReadStatus status = ReadStatus::HungUp;
    };

    virtual ~ByteSource() = default;

    // Connects within timeout; false with message() saying why in the user's words.
    virtual bool open(std::chrono::milliseconds timeout) = 0;
    // Up to buffer.size() bytes, waiting at most timeout for the first of them.
    virtual ReadResult read(std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout) = 0;
    // Sends all of bytes to the receiver, or refuses: false with message() saying why (a
    // source that cannot reach the receiver's input refuses every write).
    virtual bool write(std::span<const std::uint8_t> bytes) = 0;
    // Makes a waiting open() or read() return at once, and every later one too. Any thread.
    virtual void cancel() = 0;
    virtual void close() = 0;
    // The last failure or refusal; empty when nothing failed.
    virtual SourceMessage message() const = 0;
    // The source as the user wrote it, without secrets: for titles and messages.
    virtual std::string name() const = 0;
};

// A TCP or gpsd source for url; nothing for serial and NTRIP addresses (a serial device goes
// through the serial port class; an NTRIP caster is a correction source, not a receiver).
std::unique_ptr<ByteSource> makeByteSource(const SourceUrl& url);
