// SPDX-License-Identifier: BSD-2-Clause
#include "app/SerialLink.h"

#include "core/Serial.h"

SerialLink::SerialLink(std::unique_ptr<Serial> serial) : m_owned(std::move(serial)), m_serial(*m_owned) {}

SerialLink::~SerialLink() = default;

ReaderLink::Read SerialLink::read(ByteBuffer& bytes, double waitSeconds)
{
    bytes = m_serial.readPortWithin(waitSeconds);
    if (!bytes.empty()) return Read::Data;
    if (m_serial.hungUp()) return Read::HungUp;
    if (!m_serial.isOpen() || m_serial.cancelled()) return Read::Closed;
    return Read::Quiet;
}

bool SerialLink::write(const std::vector<std::uint8_t>& bytes)
{
    return m_serial.writePort(bytes) == bytes.size();
}

bool SerialLink::waitForInput(double seconds)
{
    return m_serial.waitForInput(seconds);
}

std::uint64_t SerialLink::bytesRead() const
{
    return m_serial.bytesReceived();
}

void SerialLink::cancel()
{
    m_serial.cancel();
}

void SerialLink::close()
{
    m_serial.closePort();
}
