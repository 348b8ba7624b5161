// SPDX-License-Identifier: BSD-2-Clause
#include "posix/JsonText.h"

#include <algorithm>

#include <nlohmann/json.hpp>

namespace platform::posix {

std::size_t JsonText::nestingDepth(std::string_view text)
{
    std::size_t depth = 0;
    std::size_t deepest = 0;
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\') ++i;
            else if (c == '"') inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            deepest = std::max(deepest, ++depth);
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return deepest;
}

std::map<std::string, std::string> JsonText::memberTexts(std::string_view text)
{
    std::map<std::string, std::string> members;
    std::size_t i = text.find('{');
    if (i == std::string_view::npos) return members;
    ++i;
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    const auto skipSpace = [&] {
        while (i < text.size() && isSpace(text[i])) ++i;
    };
    const auto skipString = [&] {
        for (++i; i < text.size() && text[i] != '"'; ++i)
            if (text[i] == '\\') ++i;
        ++i;
    };
    while (i < text.size()) {
        skipSpace();
        if (i >= text.size() || text[i] == '}') break;
        if (text[i] == ',') {
            ++i;
            continue;
        }
        const std::size_t keyStart = i;
        skipString();
        const auto key = nlohmann::json::parse(text.substr(keyStart, i - keyStart), nullptr, false);
        skipSpace();
        ++i;  // the colon
        skipSpace();
        const std::size_t valueStart = i;
        std::size_t depth = 0;
        while (i < text.size()) {
            const char c = text[i];
            if (c == '"') {
                skipString();
                continue;
            }
            if (c == '[' || c == '{') ++depth;
            else if (c == ']' || c == '}') {
                if (depth == 0) break;
                --depth;
            } else if (c == ',' && depth == 0)
                break;
            ++i;
        }
        std::size_t valueEnd = i;
        while (valueEnd > valueStart && isSpace(text[valueEnd - 1])) --valueEnd;
        if (key.is_string())
            members[key.get<std::string>()] = std::string(text.substr(valueStart, valueEnd - valueStart));
    }
    return members;
}

}  // namespace platform::posix
