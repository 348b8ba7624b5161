// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <vector>

#include "binary/StreamFramer.h"
#include "binary/UbxRecords.h"
#include "sim/UbxLegacyMessages.h"

namespace sim {

// One satellite of the simulated sky, with the signals the receiver tracks of it.
struct UbxSkySatellite {
    binary::UbxGnss gnss = binary::UbxGnss::Gps;
    std::uint8_t svId = 0;
    std::int8_t elevationDeg = 0;
    std::int16_t azimuthDeg = 0;
    std::uint8_t cnoDbHz = 0;
    bool used = false;
    std::vector<std::uint8_t> sigIds{0};  // the receiver's signal ids, e.g. {0, 3} for GPS L1C/A + L2C
};

// What the receiver knows at one measurement.
struct UbxEpoch {
    std::uint32_t timeOfWeekMs = 0;
    binary::UbxDate date{2026, 1, 1};
    binary::UbxTimeOfDay time{};
    binary::UbxFixType fixType = binary::UbxFixType::Fix3D;
    binary::UbxCarrierSolution carrier = binary::UbxCarrierSolution::None;
    double latitudeDeg = 0.0;
    double longitudeDeg = 0.0;
    double heightMslM = 0.0;
    double geoidSeparationM = 0.0;  // ellipsoid height = MSL height + separation
    double groundSpeedMps = 0.0;
    double headingDeg = 0.0;
    double pdop = 1.0, hdop = 1.0, vdop = 1.0;
    std::vector<UbxSkySatellite> satellites;
};

// Generation9: an F9-like receiver. M8: one before configuration keys (protocol 18), which
// refuses CFG-VALGET/VALSET/VALDEL, leaves UART1 at 9600 Bd from the factory, tracks GPS,
// GLONASS, SBAS and QZSS, and has no NAV-SIG.
enum class UbxModel : std::uint8_t { Generation9, M8 };

// A UBX receiver without the wire: it answers what the application sends (MON-VER poll,
// CFG-VALGET/VALSET/VALDEL, CFG-CFG, CFG-RST and the older CFG-RATE, CFG-MSG, CFG-PRT,
// CFG-GNSS) from a configuration key table kept per layer, and produces each measurement's
// NAV-PVT, NAV-SAT, NAV-SIG and NAV-DOP as the message-rate keys say.
class UbxReceiver {
public:
    // Starts at the factory settings, except for a line rate other than the factory one
    // (38400, an M8's 9600), which it holds as one saved in flash (a reset to defaults forgets it).
    explicit UbxReceiver(std::uint32_t baud = 38400, UbxModel model = UbxModel::Generation9);
    static std::uint32_t factoryBaud(UbxModel model) { return model == UbxModel::M8 ? 9600 : 38400; }

    // Bytes from the application; returns the receiver's answers (whole frames).
    std::vector<std::uint8_t> receive(std::span<const std::uint8_t> bytes);
    // The frames of one measurement; empty on measurements that are not navigation epochs
    // (CFG-RATE-NAV) or when UBX output is off.
    std::vector<std::uint8_t> measurement(const UbxEpoch& epoch);

    // The line rates its UART takes.
    static bool validBaud(std::uint64_t baud);

    // Current (RAM) settings.
    std::uint16_t measurementPeriodMs() const;
    std::uint32_t baudRate() const;
    // The UART1 output rate of a message-output key (CFG-MSGOUT-…_UART1), 0 when unknown.
    std::uint8_t outputRate(std::uint32_t key) const;
    bool nmeaOutput() const;

private:
    using Layer = std::map<std::uint32_t, std::uint64_t>;

    void handle(const binary::Frame& frame, std::vector<std::uint8_t>& out);
    void valGet(std::span<const std::uint8_t> payload, std::vector<std::uint8_t>& out);
    bool valSet(std::span<const std::uint8_t> payload);
    bool valDel(std::span<const std::uint8_t> payload);
    bool cfgCfg(std::span<const std::uint8_t> payload);
    void reset();
    bool acceptable(std::uint32_t key, std::uint64_t value) const;
    std::uint64_t ram(std::uint32_t key) const;

    UbxModel m_model;
    UbxLegacyMessages m_legacy;
    binary::StreamFramer m_framer;
    Layer m_defaults;
    Layer m_ram;
    Layer m_bbr;
    Layer m_flash;
    std::uint64_t m_measurements = 0;
};

}  // namespace sim
