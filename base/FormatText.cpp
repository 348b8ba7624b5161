// SPDX-License-Identifier: BSD-2-Clause
#include "base/FormatText.h"

#include <clocale>
#include <cstdarg>
#include <cstdio>
#include <vector>

locale_t cLocale()
{
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

std::string formatText(const char* format, ...)
{
    // uselocale changes only the calling thread's locale.
    const locale_t c = cLocale();
    const locale_t previous = c ? uselocale(c) : static_cast<locale_t>(nullptr);

    char small[64];
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int needed = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    std::string text;
    if (needed >= 0 && static_cast<std::size_t>(needed) < sizeof small) {
        text.assign(small, static_cast<std::size_t>(needed));
    } else if (needed >= 0) {
        std::vector<char> large(static_cast<std::size_t>(needed) + 1);
        std::vsnprintf(large.data(), large.size(), format, again);
        text.assign(large.data(), static_cast<std::size_t>(needed));
    }
    va_end(again);

    if (c) uselocale(previous);
    return text;
}
