// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <string>
#include <vector>

#include "sources/GpsdJsonFilter.h"
#include "sources/TcpSource.h"

// A receiver held by a running gpsd (gpsd://HOST[:PORT][/DEVICE]): gpsd is asked for its raw
// watch, which passes on the receiver's bytes as they came (NMEA and binary alike), and its
// own JSON notices are taken out, so the same pipeline decodes the stream. gpsd does not
// pass commands on to the receiver, so every write is refused with a message.
class GpsdSource : public TcpSource {
public:
    // device: the device gpsd should pass on; empty for every device gpsd has.
    GpsdSource(std::string host, std::uint16_t port, std::string device);

    bool open(std::chrono::milliseconds timeout) override;
    ReadResult read(std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout) override;
    bool write(std::span<const std::uint8_t> bytes) override;
    std::string name() const override;

    // The watch request sent after connecting, JSON-escaped.
    static std::string watchRequest(const std::string& device);

private:
    std::string m_host;
    std::uint16_t m_port;
    std::string m_device;
    GpsdJsonFilter m_filter;
    std::vector<std::uint8_t> m_ready;  // receiver bytes filtered but not yet handed out
};
