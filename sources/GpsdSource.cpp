// SPDX-License-Identifier: BSD-2-Clause
#include "sources/GpsdSource.h"

#include <algorithm>
#include <cstring>

namespace {
using Clock = std::chrono::steady_clock;
}  // namespace

GpsdSource::GpsdSource(std::string host, std::uint16_t port, std::string device)
    : TcpSource(host, port), m_host(std::move(host)), m_port(port), m_device(std::move(device))
{
}

std::string GpsdSource::name() const
{
    SourceUrl url;
    url.kind = SourceUrl::Kind::Gpsd;
    url.host = m_host;
    url.port = m_port;
    url.device = m_device;
    return url.toString();
}

std::string GpsdSource::watchRequest(const std::string& device)
{
    std::string request = R"(?WATCH={"enable":true,"json":false,"raw":2)";
    if (!device.empty()) {
        request += R"(,"device":")";
        for (const char c : device) {
            if (c == '"' || c == '\\') {
                request.push_back('\\');
                request.push_back(c);
            } else if (static_cast<unsigned char>(c) >= 0x20) {
                request.push_back(c);
            }
        }
        request += '"';
    }
    request += "};\n";
    return request;
}

bool GpsdSource::open(std::chrono::milliseconds timeout)
{
    m_filter = GpsdJsonFilter{};
    m_ready.clear();
    if (!TcpSource::open(timeout)) return false;
    const std::string request = watchRequest(m_device);
    if (!connection().writeAll(std::span(reinterpret_cast<const std::uint8_t*>(request.data()),
                                         request.size()),
                               timeout)) {
        setMessage(connection().message());
        close();
        return false;
    }
    return true;
}

ByteSource::ReadResult GpsdSource::read(std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    std::uint8_t scratch[4096];
    while (m_ready.empty()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        const auto result = TcpSource::read(scratch, std::max(left, std::chrono::milliseconds(0)));
        if (result.status != ReadStatus::Data) return result;
        m_filter.feed(std::span(scratch, result.count), m_ready);
        if (const std::string error = m_filter.takeError(); !error.empty())
            setMessage(SourceMessage{"GpsdReportsError", {name(), error}});
        if (m_ready.empty() && Clock::now() >= deadline) return {0, ReadStatus::Quiet};
    }
    const std::size_t count = std::min(buffer.size(), m_ready.size());
    std::memcpy(buffer.data(), m_ready.data(), count);
    m_ready.erase(m_ready.begin(), m_ready.begin() + static_cast<std::ptrdiff_t>(count));
    return {count, ReadStatus::Data};
}

bool GpsdSource::write(std::span<const std::uint8_t>)
{
    setMessage(SourceMessage{"GpsdWriteRefused", {name()}});
    return false;
}
