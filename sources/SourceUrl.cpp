// SPDX-License-Identifier: BSD-2-Clause
#include "sources/SourceUrl.h"

#include <charconv>

namespace {

SourceMessage fail(const char* key, std::string argument = {})
{
    SourceMessage message{key, {}};
    if (!argument.empty()) message.arguments.push_back(std::move(argument));
    return message;
}

bool isControl(char c)
{
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// %XX escapes decoded; nothing for a broken escape or a decoded control character, which
// would otherwise end up inside a request line or header.
std::optional<std::string> percentDecode(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '%') {
            if (i + 2 >= text.size()) return std::nullopt;
            const int high = hexValue(text[i + 1]);
            const int low = hexValue(text[i + 2]);
            if (high < 0 || low < 0) return std::nullopt;
            c = static_cast<char>(high * 16 + low);
            i += 2;
        }
        if (isControl(c)) return std::nullopt;
        out.push_back(c);
    }
    return out;
}

bool isHostCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_';
}

std::string percentEncode(std::string_view text)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (isHostCharacter(c) || c == '~') {
            out.push_back(c);
        } else {
            out.push_back('%');
            out.push_back(kHex[byte >> 4]);
            out.push_back(kHex[byte & 0xF]);
        }
    }
    return out;
}

}  // namespace

std::optional<SourceUrl> SourceUrl::parse(std::string_view text, SourceMessage& whyNot)
{
    whyNot = {};
    if (text.empty()) {
        whyNot = fail("SourceUrlEmpty");
        return std::nullopt;
    }
    for (const char c : text) {
        if (isControl(c)) {
            whyNot = fail("SourceUrlBadCharacter");
            return std::nullopt;
        }
    }
    const auto schemeEnd = text.find("://");
    if (schemeEnd == std::string_view::npos) {
        SourceUrl url;
        url.kind = Kind::Serial;
        url.device = std::string(text);
        return url;
    }
    // Anything before the last '@' is user information; a ':' in it means a password, which
    // may itself hold '/' or '@'. Messages quote the address without it.
    const std::string_view afterScheme = text.substr(schemeEnd + 3);
    const auto lastAt = afterScheme.rfind('@');
    if (lastAt != std::string_view::npos && afterScheme.substr(0, lastAt).find(':') != std::string_view::npos) {
        whyNot = fail("SourceUrlPasswordInUrl");
        return std::nullopt;
    }
    const std::string quoted = std::string(text.substr(0, schemeEnd + 3)) +
                               std::string(lastAt == std::string_view::npos ? afterScheme
                                                                            : afterScheme.substr(lastAt + 1));

    SourceUrl url;
    const std::string_view scheme = text.substr(0, schemeEnd);
    if (scheme == "tcp") {
        url.kind = Kind::Tcp;
    } else if (scheme == "gpsd") {
        url.kind = Kind::Gpsd;
        url.port = kGpsdPort;
    } else if (scheme == "ntrip") {
        url.kind = Kind::Ntrip;
        url.port = kNtripPort;
    } else if (scheme == "ntrips") {
        url.kind = Kind::Ntrip;
        url.port = kNtripsPort;
        url.tls = true;
    } else {
        whyNot = fail("SourceUrlUnknownScheme", std::string(scheme));
        return std::nullopt;
    }

    std::string_view rest = text.substr(schemeEnd + 3);
    const auto pathStart = rest.find('/');
    std::string_view authority = rest.substr(0, pathStart);
    const std::string_view path =
        pathStart == std::string_view::npos ? std::string_view{} : rest.substr(pathStart);

    if (const auto at = authority.rfind('@'); at != std::string_view::npos) {
        const std::string_view userInfo = authority.substr(0, at);
        authority = authority.substr(at + 1);
        if (url.kind != Kind::Ntrip) {
            whyNot = fail("SourceUrlUnexpectedUser", quoted);
            return std::nullopt;
        }
        const auto user = percentDecode(userInfo);
        if (!user || user->empty()) {
            whyNot = fail("SourceUrlBadUser");
            return std::nullopt;
        }
        url.user = *user;
    }

    std::string_view portText;
    if (!authority.empty() && authority.front() == '[') {
        const auto close = authority.find(']');
        if (close == std::string_view::npos) {
            whyNot = fail("SourceUrlBadHost", quoted);
            return std::nullopt;
        }
        url.host = std::string(authority.substr(1, close - 1));
        for (const char c : url.host) {
            if (hexValue(c) < 0 && c != ':' && c != '.') {
                whyNot = fail("SourceUrlBadHost", quoted);
                return std::nullopt;
            }
        }
        const std::string_view after = authority.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':') {
                whyNot = fail("SourceUrlBadHost", quoted);
                return std::nullopt;
            }
            portText = after.substr(1);
            if (portText.empty()) {
                whyNot = fail("SourceUrlBadPort", quoted);
                return std::nullopt;
            }
        }
    } else {
        const auto colon = authority.find(':');
        url.host = std::string(authority.substr(0, colon));
        if (colon != std::string_view::npos) {
            portText = authority.substr(colon + 1);
            if (portText.empty()) {
                whyNot = fail("SourceUrlBadPort", quoted);
                return std::nullopt;
            }
        }
        for (const char c : url.host) {
            if (!isHostCharacter(c)) {
                whyNot = fail("SourceUrlBadHost", quoted);
                return std::nullopt;
            }
        }
    }
    if (url.host.empty()) {
        whyNot = fail("SourceUrlNoHost", quoted);
        return std::nullopt;
    }

    if (!portText.empty()) {
        unsigned value = 0;
        const auto [end, error] = std::from_chars(portText.data(), portText.data() + portText.size(), value);
        if (error != std::errc{} || end != portText.data() + portText.size() || value == 0 ||
            value > 65535) {
            whyNot = fail("SourceUrlBadPort", quoted);
            return std::nullopt;
        }
        url.port = static_cast<std::uint16_t>(value);
    } else if (url.kind == Kind::Tcp) {
        whyNot = fail("SourceUrlNoPort", quoted);
        return std::nullopt;
    }

    switch (url.kind) {
    case Kind::Tcp:
        if (!path.empty() && path != "/") {
            whyNot = fail("SourceUrlUnexpectedPath", quoted);
            return std::nullopt;
        }
        break;
    case Kind::Gpsd:
        // gpsd://host/dev/ttyUSB0 names the device /dev/ttyUSB0.
        if (path.size() > 1) url.device = std::string(path);
        break;
    case Kind::Ntrip: {
        const std::string_view mount = path.empty() ? path : path.substr(1);
        const auto decoded = percentDecode(mount);
        if (!decoded || decoded->find_first_of("/?# ") != std::string::npos) {
            whyNot = fail("SourceUrlBadMountpoint", quoted);
            return std::nullopt;
        }
        url.mountpoint = *decoded;
        break;
    }
    case Kind::Serial:
        break;
    }
    return url;
}

std::string SourceUrl::hostAndPort() const
{
    const bool v6 = host.find(':') != std::string::npos;
    return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

std::string SourceUrl::toString() const
{
    switch (kind) {
    case Kind::Serial:
        return device;
    case Kind::Tcp:
        return "tcp://" + hostAndPort();
    case Kind::Gpsd:
        return "gpsd://" + hostAndPort() + device;
    case Kind::Ntrip: {
        std::string text = tls ? "ntrips://" : "ntrip://";
        if (!user.empty()) text += percentEncode(user) + "@";
        text += hostAndPort();
        if (!mountpoint.empty()) text += "/" + percentEncode(mountpoint);
        return text;
    }
    }
    return {};
}
