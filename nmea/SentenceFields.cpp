// SPDX-License-Identifier: BSD-2-Clause
#include "nmea/SentenceFields.h"

#include <cstring>

std::optional<SentenceFields> SentenceFields::split(const ByteBuffer& sentence)
{
    if (sentence.empty()) return std::nullopt;
    const void* nul = std::memchr(sentence.data(), 0, sentence.size());
    const std::size_t length =
        nul ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - sentence.data())
            : sentence.size();
    return split(std::string_view(reinterpret_cast<const char*>(sentence.data()), length));
}

std::optional<SentenceFields> SentenceFields::split(std::string_view text)
{
    if (const auto nul = text.find('\0'); nul != std::string_view::npos) text = text.substr(0, nul);
    if (text.empty() || (text[0] != '$' && text[0] != '!')) return std::nullopt;
    SentenceFields fields;
    fields.m_text = text;
    fields.m_fields.reserve(24);
    std::size_t begin = 0;
    for (;;) {
        const std::size_t comma = text.find(',', begin);
        if (comma == std::string_view::npos) {
            fields.m_fields.push_back(text.substr(begin));
            break;
        }
        fields.m_fields.push_back(text.substr(begin, comma - begin));
        begin = comma + 1;
    }
    return fields;
}

std::string_view SentenceFields::talker() const
{
    const std::string_view address = m_fields[0];
    return address.size() >= 3 ? address.substr(1, 2) : std::string_view();
}

std::string_view SentenceFields::type() const
{
    const std::string_view address = m_fields[0];
    if (address.size() != 6 || proprietary()) return {};
    return address.substr(3, 3);
}

bool SentenceFields::proprietary() const
{
    const std::string_view address = m_fields[0];
    return address.size() >= 2 && address[1] == 'P';
}
