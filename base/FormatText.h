// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <string>

#include <locale.h>

// The degree mark of the read-outs, U+00BA in UTF-8.
inline constexpr char kDegreeMark[] = "\u00BA";

// The C locale, made once and kept for the life of the process: for the *_l readers and
// for formatText.
locale_t cLocale();

// printf-style formatting that always uses the C locale, whatever locale the toolkit has set
// for the process (a German desktop must still read "46.49", not "46,49"). The format must
// be a literal of ours, never received text.
std::string formatText(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
