// SPDX-License-Identifier: BSD-2-Clause
#include "sim/UbxSession.h"

#include <algorithm>
#include <array>
#include <ctime>
#include <utility>

#include "sim/Scenario.h"
#include "sim/SerialLine.h"

namespace sim {

namespace {

constexpr std::int64_t kGpsEpochUnixTime = 315964800;  // 1980-01-06
constexpr std::int64_t kGpsLeapSeconds = 18;
constexpr std::int64_t kSecondsPerWeek = 604800;
constexpr double kMetresPerSecondPerKnot = 1852.0 / 3600.0;
constexpr double kGeoidSeparationMetres = 47.9;  // as the route's GGA gives it

// The measurement millisecond ms into the scenario's second, as the UBX receiver sees it.
UbxEpoch ubxEpoch(const Scenario::State& state, std::uint32_t ms)
{
    UbxEpoch epoch;
    const std::int64_t gpsSeconds = state.unixTime - kGpsEpochUnixTime + kGpsLeapSeconds;
    epoch.timeOfWeekMs = static_cast<std::uint32_t>((gpsSeconds % kSecondsPerWeek) * 1000 + ms);
    const std::time_t t = static_cast<std::time_t>(state.unixTime);
    std::tm utc{};
    ::gmtime_r(&t, &utc);
    epoch.date = {static_cast<std::uint16_t>(utc.tm_year + 1900), static_cast<std::uint8_t>(utc.tm_mon + 1),
                  static_cast<std::uint8_t>(utc.tm_mday)};
    epoch.time = {static_cast<std::uint8_t>(utc.tm_hour), static_cast<std::uint8_t>(utc.tm_min),
                  static_cast<std::uint8_t>(utc.tm_sec), static_cast<std::int32_t>(ms) * 1000000};
    epoch.fixType = state.fixQuality == 0 ? binary::UbxFixType::NoFix
                    : state.fixMode == 2  ? binary::UbxFixType::Fix2D
                                          : binary::UbxFixType::Fix3D;
    epoch.latitudeDeg = state.latitudeDegrees;
    epoch.longitudeDeg = state.longitudeDegrees;
    epoch.heightMslM = state.altitudeMetres;
    epoch.geoidSeparationM = kGeoidSeparationMetres;
    epoch.groundSpeedMps = state.speedKnots * kMetresPerSecondPerKnot;
    epoch.headingDeg = state.courseDegrees;
    epoch.pdop = state.pdop;
    epoch.hdop = state.hdop;
    epoch.vdop = state.vdop;
    for (const Scenario::SatelliteView& view : state.inView) {
        UbxSkySatellite satellite;
        satellite.svId = static_cast<std::uint8_t>(view.prn);
        satellite.elevationDeg = static_cast<std::int8_t>(view.elevationDegrees);
        satellite.azimuthDeg = static_cast<std::int16_t>(view.azimuthDegrees);
        satellite.cnoDbHz = static_cast<std::uint8_t>(std::max(0, view.snr));
        satellite.used = std::find(state.used.begin(), state.used.end(), view.prn) != state.used.end();
        // A dual-band receiver: the satellites that broadcast L2C are tracked on it too.
        if (view.prn % 2 == 0 && view.snr >= 0) satellite.sigIds = {0, 3};
        epoch.satellites.push_back(std::move(satellite));
    }
    return epoch;
}

// The UART1 output keys of the route's sentences, in Sentence order.
constexpr std::array<std::uint32_t, kSentenceCount> kNmeaOutputKeys{
    0x209100bb, 0x209100ca, 0x209100c0, 0x209100c5, 0x209100ac, 0x209100b1};

}  // namespace

UbxSession::UbxSession(std::uint32_t baud, UbxModel model, Scenario& scenario, SerialLine& line)
    : m_receiver(baud, model), m_scenario(scenario), m_line(line)
{
}

void UbxSession::receive(std::span<const std::uint8_t> bytes, std::uint32_t rate)
{
    m_line.append(m_receiver.receive(bytes));
    const std::uint32_t baud = m_receiver.baudRate();
    if (baud == m_rateAfterAnswer.value_or(rate)) return;
    // The application reads the answer at the rate it asked at, and only then follows.
    m_rateAfterAnswer = baud;
    m_line.mark();
}

bool UbxSession::rateChangeDue() const
{
    return m_rateAfterAnswer && m_line.bytesBeforeMark() == 0;
}

std::optional<std::uint32_t> UbxSession::takeRateChange()
{
    if (!rateChangeDue()) return std::nullopt;
    return std::exchange(m_rateAfterAnswer, std::nullopt);
}

void UbxSession::measureIfDue(Clock::time_point now, bool silent, std::uint32_t rate, bool unpaced, double speedup)
{
    using namespace std::chrono;
    if (now < m_nextMeasurement) return;
    measure(silent, rate, unpaced);
    // In simulated time; a new period counts from the next measurement on.
    const auto period = duration_cast<Clock::duration>(
        duration<double, std::milli>(m_receiver.measurementPeriodMs() / speedup));
    m_nextMeasurement += period;
    if (m_nextMeasurement <= now) m_nextMeasurement = now + period;  // late: no burst
}

void UbxSession::measure(bool silent, std::uint32_t rate, bool unpaced)
{
    // The scenario moves a second at a time; measurements fall in between.
    const std::uint64_t at = m_measurementMs;
    m_measurementMs += std::max<std::uint16_t>(1, m_receiver.measurementPeriodMs());
    bool newSecond = false;
    while (m_seconds <= at / 1000) {
        m_scenario.step();
        ++m_seconds;
        newSecond = true;
    }
    const auto frames = m_receiver.measurement(ubxEpoch(m_scenario.state(), static_cast<std::uint32_t>(at % 1000)));
    // As with NMEA, a measurement that does not fit the line is dropped whole; nothing goes
    // out between a baud-rate change and its answer.
    const std::size_t backlog = unpaced ? SerialLine::kUnpacedBacklog : rate / 10;
    if (silent || m_rateAfterAnswer || m_line.size() > backlog) return;
    m_line.append(frames);
    // The route's sentences carry whole seconds: they come with a second's first measurement.
    if (!newSecond || !m_receiver.nmeaOutput()) return;
    const std::uint64_t second = m_seconds - 1;
    for (int i = 0; i < kSentenceCount; ++i) {
        const std::uint8_t every = m_receiver.outputRate(kNmeaOutputKeys[static_cast<std::size_t>(i)]);
        if (every == 0 || second % every != 0) continue;
        for (auto& line : m_scenario.sentences(static_cast<Sentence>(i))) m_line.queueLine(std::move(line));
    }
}

}  // namespace sim
