// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <span>
#include <vector>

// Undoes HTTP/1.1 chunked transfer coding ("1A;ext\r\n" + 26 bytes + "\r\n", ..., "0\r\n\r\n"),
// which NTRIP 2 casters use for streams and source tables. Incremental: a size line or chunk
// cut between reads carries on with the next feed.
class ChunkedDecoder {
public:
    enum class State {
        Body,      // more chunks expected
        Finished,  // the last chunk came; later bytes are ignored
        Broken,    // not chunked coding (bad size line, missing CRLF); later bytes are ignored
    };

    // Appends the payload bytes in input to out.
    State feed(std::span<const std::uint8_t> input, std::vector<std::uint8_t>& out);
    State state() const { return m_state; }

private:
    enum class Step { Size, Extension, SizeLineFeed, Data, DataCr, DataLf, Trailer, TrailerLf };

    // A size line longer than this is not chunked coding.
    static constexpr unsigned kMaxSizeDigits = 8;

    State m_state = State::Body;
    Step m_step = Step::Size;
    std::uint64_t m_remaining = 0;  // size being read, then data bytes left in the chunk
    unsigned m_digits = 0;
    bool m_trailerLineEmpty = true;
};
