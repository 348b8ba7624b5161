// SPDX-License-Identifier: BSD-2-Clause
#include "stream/SerialLink.h"

#include <algorithm>

#include "base/Numbers.h"
#include "serial/Serial.h"

namespace {

// Half of what the terminal's input buffer holds (4 KB): at the line rate (ten bits a byte)
// a gathering lasts no longer than this takes to arrive, never long enough to fill it.
constexpr std::size_t kGatherBytes = 2048;

std::optional<std::uint32_t> parsedRate(const std::string& rate)
{
    const auto baud = digitsValue<std::uint32_t>(rate);
    return baud && *baud > 0 ? baud : std::nullopt;
}

}  // namespace

SerialLink::SerialLink(Serial& serial, std::string path, const std::string& rate)
    : m_serial(&serial), m_path(std::move(path)), m_rate(parsedRate(rate))
{
}

SerialLink::SerialLink(std::unique_ptr<Serial> serial, std::string path, const std::string& rate)
    : m_owned(std::move(serial)), m_serial(m_owned.get()), m_path(std::move(path)), m_rate(parsedRate(rate))
{
}

SerialLink::~SerialLink() = default;

ReaderLink::Read SerialLink::read(ByteBuffer& bytes, double waitSeconds)
{
    bytes = m_serial->readPortWithin(waitSeconds);
    m_behind = bytes.size() >= kGatherBytes;
    if (!bytes.empty()) return Read::Data;
    if (m_serial->hungUp()) return Read::HungUp;
    if (!m_serial->isOpen() || m_serial->cancelled()) return Read::Closed;
    return Read::Quiet;
}

bool SerialLink::write(const std::vector<std::uint8_t>& bytes)
{
    return m_serial->writePort(bytes) == bytes.size();
}

bool SerialLink::waitForInput(double seconds)
{
    return m_serial->waitForInput(seconds);
}

void SerialLink::gather(double seconds)
{
    // A read of more than the line could bring in a gathering's time says it brings more than
    // its rate (a terminal fed as fast as it takes): read on at once.
    if (!m_rate || m_behind) return;
    m_serial->pause(std::min(seconds, static_cast<double>(kGatherBytes) / (*m_rate / 10.0)));
}

std::uint64_t SerialLink::bytesRead() const
{
    return m_earlierBytes + m_serial->bytesReceived();
}

void SerialLink::cancel()
{
    m_serial->cancel();
}

void SerialLink::close()
{
    m_serial->closePort();
}

bool SerialLink::reopenAt(std::uint32_t baud)
{
    const std::string rate = std::to_string(baud);
    if (m_path.empty() || !Serial::isKnownRate(rate)) return false;
    // The device is held exclusively: the old descriptor goes before the new one opens.
    m_earlierBytes += m_serial->bytesReceived();
    m_serial->closePort();
    auto next = std::make_unique<Serial>();
    if (!next->openPort(m_path, rate, false)) return false;
    m_owned = std::move(next);
    m_serial = m_owned.get();
    m_rate = baud;
    if (m_replaced) m_replaced(*m_serial);
    return true;
}
