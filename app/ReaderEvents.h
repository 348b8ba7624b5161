// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <string>

struct LineResult;

// What the receiver reader tells the window, on the main thread, in the order it happened.
// Every argument is the reader's copy; nothing refers back into the reader thread.
class ReaderEvents {
public:
    virtual ~ReaderEvents() = default;
    // The program has settled and a receiver was chosen before: connect now.
    virtual void readyToConnect() = 0;
    virtual void connectionOpened() = 0;
    // Also before every connect, so the read-outs start empty.
    virtual void connectionClosed() = 0;
    // explanation: why the port or source could not be opened; may be empty.
    virtual void openFailed(const std::string& port, const std::string& explanation) = 0;
    // The device or the other end went away; the reader waits for it to come back.
    virtual void connectionLost(const std::string& port) = 0;
    // A line for the monitor, in the user's words.
    virtual void readerMessage(const std::string& text) = 0;
    // The automatic rate settled on this rate.
    virtual void rateFound(const std::string& rate) = 0;
    // Bytes keep coming but no sentence does: the line's rate is likely wrong.
    virtual void wrongRate() = 0;
    // A line or frame and what the pipeline made of it.
    virtual void lineRead(const LineResult& result) = 0;
    // The count of line updates dropped so far at the queue's bound grew to total.
    virtual void updatesDropped(std::uint64_t total) = 0;
};

struct ReaderUpdate;
// The update told as the event it stands for (a line as lineRead).
void tell(ReaderEvents& events, const ReaderUpdate& update);
