// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <string>

#include "sources/ByteSource.h"
#include "sources/NetConnection.h"
#include "sources/Waker.h"

// A receiver or multiplexer that sends its output over a TCP connection and takes commands
// on the same connection (tcp://HOST:PORT).
class TcpSource : public ByteSource {
public:
    TcpSource(std::string host, std::uint16_t port);

    bool open(std::chrono::milliseconds timeout) override;
    ReadResult read(std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout) override;
    bool write(std::span<const std::uint8_t> bytes) override;
    void cancel() override { m_waker.signal(); }
    void close() override { m_connection.close(); }
    SourceMessage message() const override { return m_message; }
    std::string name() const override;

protected:
    // The connection for subclasses that speak a protocol on top of the byte stream.
    NetConnection& connection() { return m_connection; }
    void setMessage(SourceMessage message) { m_message = std::move(message); }

private:
    std::string m_host;
    std::uint16_t m_port;
    Waker m_waker;
    NetConnection m_connection{&m_waker};
    SourceMessage m_message;
};
