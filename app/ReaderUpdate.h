// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <string>

#include "stream/SentencePipeline.h"

// One item the reader thread hands to the main thread: a line with what the pipeline made
// of it, or one of the reader's events (see ReaderEvents). Plain values only.
struct ReaderUpdate {
    enum class Kind : std::uint8_t {
        Line,
        ReadyToConnect,
        Opened,
        Closed,
        OpenFailed,  // text: the port; detail: why
        Lost,        // text: the port
        Message,     // text
        RateFound,   // text: the rate
        WrongRate,
    };
    Kind kind = Kind::Line;
    LineResult result;  // Line
    std::string text;
    std::string detail;
};
