// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <charconv>
#include <optional>
#include <string_view>
#include <system_error>

// The one way text becomes an integer: the whole text, decimal digits only (no blank, no
// sign), else nothing; nothing too for a value T cannot hold.
template <class T>
std::optional<T> digitsValue(std::string_view text)
{
    if (text.empty() || text.front() < '0' || text.front() > '9') return std::nullopt;
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// As digitsValue, after an optional "+" or "-".
template <class T>
std::optional<T> signedDigitsValue(std::string_view text)
{
    if (!text.empty() && text.front() == '+') return digitsValue<T>(text.substr(1));
    if (!text.empty() && text.front() == '-') {
        // from_chars reads the "-" itself, so that the most negative value of T fits.
        if (text.size() < 2 || text[1] < '0' || text[1] > '9') return std::nullopt;
        T value{};
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
        return value;
    }
    return digitsValue<T>(text);
}
