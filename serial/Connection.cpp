// SPDX-License-Identifier: BSD-2-Clause
#include "serial/Connection.h"

#include "serial/RateHunt.h"
#include "serial/ReceiverCommands.h"
#include "platform/Alert.h"
#include "serial/Serial.h"

Connection::Connection(Events events, std::function<bool()> stopping)
    : m_events(std::move(events)), m_stopping(std::move(stopping))
{
}

Connection::Opened Connection::open(const std::string& port, const std::string& rate,
                                    const std::optional<std::string>& storedRate)
{
    Opened opened;
    const auto tell = [this](const std::string& text) {
        if (m_events.message) m_events.message(text);
    };
    if (rate != RateHunt::kAutomaticRate) {
        auto serial = std::make_unique<Serial>();
        if (serial->openPort(port, rate, false)) {
            opened.port = std::move(serial);
            opened.rate = rate;
        } else {
            opened.error = serial->lastError();
        }
        return opened;
    }
    const auto rates = RateHunt::candidates(storedRate);
    RateHunt hunt(m_stopping, [&tell](const std::string& trying) {
        tell(Alert::localizedStringWithKey("DoctorRateTrying", {trying}));
    });
    RateHunt::Result found = hunt.run(port, rates);
    if (found.port) {
        tell(Alert::localizedStringWithKey("DoctorRateFound", {found.rate}));
        if (m_events.rateFound) m_events.rateFound(found.rate);
        opened.port = std::move(found.port);
        opened.rate = found.rate;
        return opened;
    }
    if (found.error != 0 || m_stopping()) {
        opened.error = found.error;
        return opened;
    }
    tell(Alert::localizedStringWithKey("DoctorRateNotFound"));
    auto serial = std::make_unique<Serial>();
    if (serial->openPort(port, rates.front(), false)) {
        opened.port = std::move(serial);
        opened.rate = rates.front();
    } else {
        opened.error = serial->lastError();
    }
    return opened;
}

std::vector<ByteBuffer> Connection::initialise(Serial& serial, const std::string& port,
                                               const std::string& rate)
{
    ReceiverCommands commands;
    commands.setPort(&serial, port, rate);
    std::vector<ByteBuffer> lines = commands.waitForInitialize();
    commands.setNMEA();
    return lines;
}
