#pragma once

#include <string>

// The degree mark of the read-outs, U+00BA in UTF-8.
inline constexpr char kDegreeMark[] = "\u00BA";

// printf-style formatting that always uses the C locale, whatever locale the toolkit has set
// for the process (a German desktop must still read "46.49", not "46,49"). The format must
// be a literal of ours, never received text.
std::string formatText(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
