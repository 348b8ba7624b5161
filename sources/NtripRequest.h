// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The request head a client sends to an NTRIP caster: for a mountpoint's stream or, with an
// empty mountpoint, for the source table. Version 1 is plain HTTP/1.0 as the first casters
// expect; version 2 is HTTP/1.1 with the Ntrip-Version header (streams then come chunked).
struct NtripRequest {
    std::string host;
    std::uint16_t port = 0;
    std::string mountpoint;  // empty: the source table
    std::string user;        // empty: no Authorization header
    std::string password;
    int version = 2;         // 1 or 2

    // The head, ending with the empty line. Holds the password (Base64 is no protection):
    // send it, never show or log it.
    std::string build() const;

    static std::string base64(std::string_view bytes);
    static std::string userAgent();
};
