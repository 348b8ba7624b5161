// SPDX-License-Identifier: BSD-2-Clause
#include "sources/ChunkedDecoder.h"

#include <algorithm>

namespace {
int hexDigit(std::uint8_t c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
}  // namespace

ChunkedDecoder::State ChunkedDecoder::feed(std::span<const std::uint8_t> input,
                                           std::vector<std::uint8_t>& out)
{
    std::size_t i = 0;
    while (i < input.size() && m_state == State::Body) {
        const std::uint8_t c = input[i];
        switch (m_step) {
        case Step::Size:
            if (const int digit = hexDigit(c); digit >= 0) {
                if (++m_digits > kMaxSizeDigits) {
                    m_state = State::Broken;
                    break;
                }
                m_remaining = m_remaining * 16 + static_cast<std::uint64_t>(digit);
            } else if (m_digits > 0 && (c == ';' || c == ' ' || c == '\t')) {
                m_step = Step::Extension;
            } else if (m_digits > 0 && c == '\r') {
                m_step = Step::SizeLineFeed;
            } else {
                m_state = State::Broken;
            }
            ++i;
            break;
        case Step::Extension:
            // Chunk extensions carry nothing NTRIP uses.
            if (c == '\r') m_step = Step::SizeLineFeed;
            else if (c == '\n') m_state = State::Broken;
            ++i;
            break;
        case Step::SizeLineFeed:
            if (c != '\n') {
                m_state = State::Broken;
            } else if (m_remaining == 0) {
                m_step = Step::Trailer;
                m_trailerLineEmpty = true;
            } else {
                m_step = Step::Data;
            }
            ++i;
            break;
        case Step::Data: {
            const auto take =
                static_cast<std::size_t>(std::min<std::uint64_t>(m_remaining, input.size() - i));
            out.insert(out.end(), input.begin() + static_cast<std::ptrdiff_t>(i),
                       input.begin() + static_cast<std::ptrdiff_t>(i + take));
            i += take;
            m_remaining -= take;
            if (m_remaining == 0) m_step = Step::DataCr;
            break;
        }
        case Step::DataCr:
            if (c != '\r') m_state = State::Broken;
            m_step = Step::DataLf;
            ++i;
            break;
        case Step::DataLf:
            if (c != '\n') m_state = State::Broken;
            m_step = Step::Size;
            m_digits = 0;
            m_remaining = 0;
            ++i;
            break;
        case Step::Trailer:
            // Trailer fields end with an empty line.
            if (c == '\r') m_step = Step::TrailerLf;
            else m_trailerLineEmpty = false;
            ++i;
            break;
        case Step::TrailerLf:
            if (c != '\n') {
                m_state = State::Broken;
            } else if (m_trailerLineEmpty) {
                m_state = State::Finished;
            } else {
                m_step = Step::Trailer;
                m_trailerLineEmpty = true;
            }
            ++i;
            break;
        }
    }
    return m_state;
}
