// SPDX-License-Identifier: BSD-2-Clause
#include "sources/TcpSource.h"

#include "sources/GpsdSource.h"

namespace {
// A receiver's input is slow (9600 bit/s behind many bridges); a command of a few hundred
// bytes still leaves long before this.
constexpr std::chrono::milliseconds kWriteTimeout{5000};
}  // namespace

std::unique_ptr<ByteSource> makeByteSource(const SourceUrl& url)
{
    switch (url.kind) {
    case SourceUrl::Kind::Tcp:
        return std::make_unique<TcpSource>(url.host, url.port);
    case SourceUrl::Kind::Gpsd:
        return std::make_unique<GpsdSource>(url.host, url.port, url.device);
    case SourceUrl::Kind::Serial:
    case SourceUrl::Kind::Ntrip:
        break;
    }
    return nullptr;
}

TcpSource::TcpSource(std::string host, std::uint16_t port) : m_host(std::move(host)), m_port(port) {}

std::string TcpSource::name() const
{
    SourceUrl url;
    url.kind = SourceUrl::Kind::Tcp;
    url.host = m_host;
    url.port = m_port;
    return url.toString();
}

bool TcpSource::open(std::chrono::milliseconds timeout)
{
    m_message = {};
    if (m_connection.connect(m_host, m_port, false, timeout)) return true;
    m_message = m_connection.message();
    return false;
}

ByteSource::ReadResult TcpSource::read(std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout)
{
    const auto result = m_connection.read(buffer, timeout);
    switch (result.status) {
    case NetConnection::ReadStatus::Data:
        return {result.count, ReadStatus::Data};
    case NetConnection::ReadStatus::Quiet:
        return {0, ReadStatus::Quiet};
    case NetConnection::ReadStatus::Cancelled:
        return {0, ReadStatus::Cancelled};
    case NetConnection::ReadStatus::Closed:
        break;
    }
    m_message = m_connection.message();
    if (m_message.empty()) m_message = SourceMessage{"NetClosedByPeer", {name()}};
    return {0, ReadStatus::HungUp};
}

bool TcpSource::write(std::span<const std::uint8_t> bytes)
{
    if (m_connection.writeAll(bytes, kWriteTimeout)) return true;
    m_message = m_connection.message();
    if (m_message.empty()) m_message = SourceMessage{"NetNotConnected", {name()}};
    return false;
}
