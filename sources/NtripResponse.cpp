// SPDX-License-Identifier: BSD-2-Clause
#include "sources/NtripResponse.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <string_view>

namespace {

constexpr std::array<std::string_view, 3> kOpenings = {"ICY ", "HTTP/", "SOURCETABLE "};

bool couldStartAnswer(std::string_view head)
{
    return std::any_of(kOpenings.begin(), kOpenings.end(), [&](std::string_view opening) {
        const auto n = std::min(opening.size(), head.size());
        return head.substr(0, n) == opening.substr(0, n);
    });
}

std::string lower(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string_view trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

}  // namespace

std::size_t NtripResponse::feed(std::span<const std::uint8_t> input)
{
    std::size_t used = 0;
    while (used < input.size() && m_kind == Kind::Incomplete) {
        const char c = static_cast<char>(input[used++]);
        m_head.push_back(c);
        if (m_head.size() > kMaxHead) {
            m_kind = Kind::NotNtrip;
            break;
        }
        if (m_statusEnd == 0) {
            if (!couldStartAnswer(m_head)) {
                m_kind = Kind::NotNtrip;
            } else if (c == '\n') {
                m_statusEnd = m_head.size();
                statusLineDone();
            }
            continue;
        }
        // An HTTP head ends at an empty line.
        if (c == '\n' && (m_head.ends_with("\r\n\r\n") || m_head.ends_with("\n\n") ||
                          m_head.size() == m_statusEnd + 1 || m_head.ends_with("\n\r\n")))
            headersDone();
    }
    return used;
}

void NtripResponse::statusLineDone()
{
    const std::string_view line = trim(std::string_view(m_head).substr(0, m_statusEnd - 1));
    const auto space = line.find(' ');
    if (space == std::string_view::npos) {
        m_kind = Kind::NotNtrip;
        return;
    }
    const std::string_view protocol = line.substr(0, space);
    const std::string_view rest = trim(line.substr(space + 1));
    int code = 0;
    const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), code);
    if (error != std::errc{} || end - rest.data() != 3) {
        m_kind = Kind::NotNtrip;
        return;
    }
    m_status = code;
    if (protocol == "SOURCETABLE") {
        m_kind = code == 200 ? Kind::SourceTable : Kind::Refused;
    } else if (protocol == "ICY") {
        if (code == 200) m_kind = Kind::Stream;
        else if (code == 401) m_kind = Kind::Unauthorized;
        else if (code == 404) m_kind = Kind::NotFound;
        else m_kind = Kind::Refused;
    } else if (!protocol.starts_with("HTTP/1.")) {
        m_kind = Kind::NotNtrip;
    }
    // HTTP: the headers decide, once complete.
}

void NtripResponse::headersDone()
{
    std::string_view headers = std::string_view(m_head).substr(m_statusEnd);
    while (!headers.empty()) {
        const auto end = headers.find('\n');
        const std::string_view line = headers.substr(0, end);
        headers = end == std::string_view::npos ? std::string_view{} : headers.substr(end + 1);
        const auto colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        const std::string name = lower(trim(line.substr(0, colon)));
        const std::string value = lower(trim(line.substr(colon + 1)));
        if (name == "transfer-encoding" && value.find("chunked") != std::string::npos)
            m_chunked = true;
        else if (name == "content-type")
            m_contentType = value;
    }
    if (m_status == 200)
        m_kind = m_contentType.starts_with("gnss/sourcetable") ? Kind::SourceTable : Kind::Stream;
    else if (m_status == 401 || m_status == 407)
        m_kind = Kind::Unauthorized;
    else if (m_status == 404)
        m_kind = Kind::NotFound;
    else
        m_kind = Kind::Refused;
}

std::string NtripResponse::statusLine() const
{
    std::string line;
    for (const char c : m_head) {
        if (c == '\r' || c == '\n' || line.size() >= 80) break;
        const auto byte = static_cast<unsigned char>(c);
        line.push_back(byte >= 0x20 && byte < 0x7F ? c : '?');
    }
    return line;
}
