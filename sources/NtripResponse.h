// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

// Reads a caster's answer head, byte by byte as it arrives, and says what kind of answer it
// is. NTRIP 1 casters answer "ICY 200 OK" and stream at once, or "SOURCETABLE 200 OK" and
// the table (also for a mountpoint they do not know); NTRIP 2 casters answer HTTP/1.1 with
// headers, the stream usually in chunked coding, the table as gnss/sourcetable.
class NtripResponse {
public:
    enum class Kind {
        Incomplete,    // more bytes needed
        Stream,        // corrections follow
        SourceTable,   // the source table follows (records after the head)
        Unauthorized,  // 401: wrong or missing user name or password
        NotFound,      // 404
        Refused,       // any other status; statusLine() says which
        NotNtrip,      // not an answer of an NTRIP caster or web server at all
    };

    // Takes bytes of the answer; returns how many belong to the head. Once kind() is no longer
    // Incomplete the rest of the input (and all later bytes) is the body.
    std::size_t feed(std::span<const std::uint8_t> input);

    Kind kind() const { return m_kind; }
    int statusCode() const { return m_status; }  // 0 when there was no status line
    // The first line, printable characters only and at most 80 of them, for messages.
    std::string statusLine() const;
    bool chunked() const { return m_chunked; }
    std::string contentType() const { return m_contentType; }

    // A head longer than this is not a caster's.
    static constexpr std::size_t kMaxHead = 16384;

private:
    void statusLineDone();
    void headersDone();

    std::string m_head;
    std::size_t m_statusEnd = 0;  // length of the status line with its line end, once known
    Kind m_kind = Kind::Incomplete;
    int m_status = 0;
    bool m_chunked = false;
    std::string m_contentType;
};
