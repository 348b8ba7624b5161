// SPDX-License-Identifier: BSD-2-Clause
#include "stream/SerialLink.h"

#include <algorithm>

#include "base/Numbers.h"
#include "serial/Serial.h"

namespace {

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
    if (!m_rate) return;
    // Half of what the terminal's input buffer holds (4 KB) at ten bits a byte: a fast line
    // is gathered for less time, never long enough to fill it.
    constexpr double kGatherBytes = 2048.0;
    m_serial->pause(std::min(seconds, kGatherBytes / (*m_rate / 10.0)));
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
