// SPDX-License-Identifier: BSD-2-Clause
#include "sources/GpsdJsonFilter.h"

#include <string_view>

namespace {
constexpr std::string_view kOpening = R"({"class":")";
}  // namespace

void GpsdJsonFilter::feed(std::span<const std::uint8_t> input, std::vector<std::uint8_t>& out)
{
    for (const std::uint8_t byte : input) {
        const char c = static_cast<char>(byte);
        if (m_inNotice) {
            if (c == '\n') {
                endNotice();
            } else if (m_notice.size() < kNoticeLimit) {
                m_notice.push_back(c);
            } else {
                m_inNotice = false;
                m_notice.clear();
                out.push_back(byte);
            }
            continue;
        }
        if (c == kOpening[m_pending.size()]) {
            m_pending.push_back(c);
            if (m_pending.size() == kOpening.size()) {
                m_inNotice = true;
                m_notice = m_pending;
                m_pending.clear();
            }
            continue;
        }
        // Not a notice after all: what was held back belongs to the receiver.
        out.insert(out.end(), m_pending.begin(), m_pending.end());
        m_pending.clear();
        if (c == kOpening.front())
            m_pending.push_back(c);
        else
            out.push_back(byte);
    }
}

void GpsdJsonFilter::endNotice()
{
    m_inNotice = false;
    ++m_notices;
    // {"class":"ERROR","message":"Can't open /dev/ttyUSB9."}
    if (m_notice.starts_with(R"({"class":"ERROR")")) {
        constexpr std::string_view kField = R"("message":")";
        const auto at = m_notice.find(kField);
        if (at != std::string::npos) {
            const auto start = at + kField.size();
            const auto end = m_notice.find('"', start);
            m_error = m_notice.substr(start, end == std::string::npos ? std::string::npos : end - start);
        } else {
            m_error = m_notice;
        }
    }
    m_notice.clear();
}

std::string GpsdJsonFilter::takeError()
{
    std::string error;
    error.swap(m_error);
    return error;
}
