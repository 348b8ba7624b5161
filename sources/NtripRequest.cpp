// SPDX-License-Identifier: BSD-2-Clause
#include "sources/NtripRequest.h"

std::string NtripRequest::base64(std::string_view bytes)
{
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const std::uint32_t group = (std::uint32_t{static_cast<unsigned char>(bytes[i])} << 16) |
                                    (std::uint32_t{static_cast<unsigned char>(bytes[i + 1])} << 8) |
                                    static_cast<unsigned char>(bytes[i + 2]);
        out.push_back(kAlphabet[(group >> 18) & 63]);
        out.push_back(kAlphabet[(group >> 12) & 63]);
        out.push_back(kAlphabet[(group >> 6) & 63]);
        out.push_back(kAlphabet[group & 63]);
    }
    const std::size_t left = bytes.size() - i;
    if (left > 0) {
        std::uint32_t group = std::uint32_t{static_cast<unsigned char>(bytes[i])} << 16;
        if (left == 2) group |= std::uint32_t{static_cast<unsigned char>(bytes[i + 1])} << 8;
        out.push_back(kAlphabet[(group >> 18) & 63]);
        out.push_back(kAlphabet[(group >> 12) & 63]);
        out.push_back(left == 2 ? kAlphabet[(group >> 6) & 63] : '=');
        out.push_back('=');
    }
    return out;
}

std::string NtripRequest::userAgent()
{
    // Casters tell NTRIP clients from web browsers by the "NTRIP " at the start.
    return std::string("NTRIP GPSDesk/") + GPSDESK_VERSION;
}

std::string NtripRequest::build() const
{
    const bool v6 = host.find(':') != std::string::npos;
    const std::string hostHeader = (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
    std::string head = "GET /" + mountpoint + (version >= 2 ? " HTTP/1.1\r\n" : " HTTP/1.0\r\n");
    head += "Host: " + hostHeader + "\r\n";
    if (version >= 2) head += "Ntrip-Version: Ntrip/2.0\r\n";
    head += "User-Agent: " + userAgent() + "\r\n";
    if (!user.empty()) head += "Authorization: Basic " + base64(user + ":" + password) + "\r\n";
    if (version >= 2) head += "Connection: close\r\n";
    head += "\r\n";
    return head;
}
