// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "sources/SourceMessage.h"

// Where bytes come from, as the user writes it:
//   /dev/ttyACM0                      a serial device (any text without "://")
//   tcp://HOST:PORT                   a receiver or multiplexer sending over TCP
//   gpsd://HOST[:PORT][/DEVICE]       a running gpsd (port 2947 unless given)
//   ntrip://USER@HOST[:PORT][/MOUNT]  an NTRIP caster (port 2101 unless given)
//   ntrips://USER@HOST[:PORT][/MOUNT] the same over TLS (port 443 unless given)
// HOST may be a name, an IPv4 address or an IPv6 address in brackets. USER and MOUNT may use
// %XX escapes. A password is never taken from the text: it would be visible in the process
// list and in shell histories (it comes from GPSDESK_NTRIP_PASSWORD or the secret store).
struct SourceUrl {
    enum class Kind { Serial, Tcp, Gpsd, Ntrip };

    Kind kind = Kind::Serial;
    std::string host;         // without brackets; empty for serial
    std::uint16_t port = 0;   // 0 for serial
    std::string device;       // serial: the path; gpsd: the device to watch, empty for all
    std::string user;         // NTRIP only; empty: no authentication
    std::string mountpoint;   // NTRIP only; empty: only the source table can be asked for
    bool tls = false;         // ntrips://

    static constexpr std::uint16_t kGpsdPort = 2947;
    static constexpr std::uint16_t kNtripPort = 2101;
    static constexpr std::uint16_t kNtripsPort = 443;

    // The source, or nothing with whyNot set to a message of the tables.
    static std::optional<SourceUrl> parse(std::string_view text, SourceMessage& whyNot);
    // The text form, fit for logs and messages: never with a password.
    std::string toString() const;
    // "host:port" ("[::1]:2101" for IPv6), for messages.
    std::string hostAndPort() const;

    friend bool operator==(const SourceUrl&, const SourceUrl&) = default;
};
