// SPDX-License-Identifier: BSD-2-Clause
#include "fakes/FakeControls.h"

#include <algorithm>

namespace fakes {

namespace {

std::size_t newlines(const std::string& text)
{
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

}  // namespace

void FakeTextView::appendText(const std::string& t, platform::Color c)
{
    if (t.empty()) return;
    runs.push_back({t, c});
    m_length += t.size();
    m_newlines += newlines(t);
}

std::size_t FakeTextView::lineCount() const
{
    if (m_length == 0) return 0;
    const bool open = runs.back().text.back() != '\n';
    return m_newlines + (open ? 1 : 0);
}

void FakeTextView::removeFirstLines(std::size_t count)
{
    while (count > 0 && !runs.empty()) {
        std::string& text = runs.front().text;
        const auto newline = text.find('\n');
        if (newline == std::string::npos) {
            m_length -= text.size();
            runs.erase(runs.begin());
            continue;
        }
        m_length -= newline + 1;
        --m_newlines;
        text.erase(0, newline + 1);
        if (text.empty()) runs.erase(runs.begin());
        --count;
    }
}

}  // namespace fakes
