#include "fakes/FakeControls.h"

#include <algorithm>

namespace fakes {

std::size_t FakeTextView::lineCount() const
{
    const std::string all = string();
    if (all.empty()) return 0;
    std::size_t lines = static_cast<std::size_t>(std::count(all.begin(), all.end(), '\n'));
    if (all.back() != '\n') ++lines;
    return lines;
}

void FakeTextView::removeFirstLines(std::size_t count)
{
    while (count > 0 && !runs.empty()) {
        std::string& text = runs.front().text;
        const auto newline = text.find('\n');
        if (newline == std::string::npos) {
            runs.erase(runs.begin());
            continue;
        }
        text.erase(0, newline + 1);
        if (text.empty()) runs.erase(runs.begin());
        --count;
    }
}

}  // namespace fakes
