// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include "base/ByteBuffer.h"

// A listener on the reader thread's stream: the recorder and the share. Both calls come from
// the reader thread, once per line, and must return at once (hand the bytes to a thread of
// their own); they never see the UI.
class LineTap {
public:
    virtual ~LineTap() = default;
    // Every line as read: the bytes exactly as they arrived, line feed included, no NUL.
    virtual void lineReceived(const ByteBuffer& raw) = 0;
    // A line whose checksum held: as read, with the NUL the reader appended. The codec has
    // already cut the text at the "*" (or the CR) with a NUL; the bytes after it are kept.
    virtual void sentenceAccepted(const ByteBuffer& verified) = 0;
};
