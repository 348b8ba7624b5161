// SPDX-License-Identifier: BSD-2-Clause
#include "serial/RateHunt.h"

#include <algorithm>
#include <chrono>

#include "nmea/NMEA.h"
#include "serial/Serial.h"

const std::vector<std::string>& RateHunt::listRates()
{
    static const std::vector<std::string> rates = {"4800",   "9600",   "19200",  "38400", "57600",
                                                   "115200", "230400", "460800", "921600"};
    return rates;
}

std::vector<std::string> RateHunt::candidates(const std::optional<std::string>& storedRate)
{
    // Most receivers sold today start at 9600 or 38400, many at 115200; older ones at 4800.
    static const std::vector<std::string> likelyFirst = {"9600", "38400", "115200", "4800"};
    std::vector<std::string> order;
    const auto add = [&order](const std::string& rate) {
        if (Serial::isKnownRate(rate) && std::find(order.begin(), order.end(), rate) == order.end())
            order.push_back(rate);
    };
    if (storedRate) add(*storedRate);
    for (const auto& rate : likelyFirst) add(rate);
    for (const auto& rate : listRates()) add(rate);
    return order;
}

void RateHunt::Trial::take(const ByteBuffer& bytes)
{
    m_bytes += bytes.size();
    for (const std::uint8_t byte : bytes) {
        if (byte != '\n') {
            // A line longer than any sentence is noise; keep only its tail's chance.
            if (m_line.size() < 256) m_line.push_back(byte);
            continue;
        }
        m_line.push_back(byte);
        m_line.push_back(0);
        // Only a real checksum counts: the codec also takes a line without one.
        const bool hasChecksum = std::find(m_line.begin(), m_line.end(), '*') != m_line.end();
        if (m_line.front() == '$' && hasChecksum && NMEA::checkSumValid(m_line)) ++m_valid;
        m_line.clear();
    }
}

RateHunt::RateHunt(std::function<bool()> stop, std::function<void(const std::string&)> trying)
    : m_stop(std::move(stop)), m_trying(std::move(trying))
{
}

RateHunt::Result RateHunt::run(const std::string& path, const std::vector<std::string>& rates,
                               double windowSeconds)
{
    using Clock = std::chrono::steady_clock;
    Result result;
    for (const std::string& rate : rates) {
        if (m_stop && m_stop()) break;
        if (m_trying) m_trying(rate);
        auto port = std::make_unique<Serial>();
        if (!port->openPort(path, rate, false)) {
            // Permissions, a busy or vanished device: no other rate fares better.
            result.error = port->lastError();
            return result;
        }
        Trial trial;
        const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                 std::chrono::duration<double>(windowSeconds));
        while (!trial.settled() && !trial.hopeless() && !(m_stop && m_stop())) {
            const double left = std::chrono::duration<double>(deadline - Clock::now()).count();
            if (left <= 0.0) break;
            trial.take(port->readPortWithin(left));
            if (port->hungUp()) {
                result.error = port->lastError();
                return result;
            }
        }
        if (trial.settled()) {
            result.port = std::move(port);
            result.rate = rate;
            return result;
        }
    }
    result.cutShort = m_stop && m_stop();
    return result;
}
