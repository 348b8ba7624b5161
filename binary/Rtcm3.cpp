// SPDX-License-Identifier: BSD-2-Clause
#include "binary/Rtcm3.h"

#include <bit>

#include "binary/BitReader.h"
#include "binary/Frame.h"

namespace binary {

namespace {

std::string text(BitReader& in)
{
    const auto count = static_cast<unsigned>(in.bits(8));
    std::string value;
    for (unsigned i = 0; i < count && !in.failed(); ++i) {
        const auto byte = static_cast<std::uint8_t>(in.bits(8));
        value.push_back(byte >= 0x20 && byte < 0x7F ? static_cast<char>(byte) : '.');
    }
    return value;
}

// 1005/1006: station 12, ITRF year 6, GPS/GLONASS/Galileo/reference-station bits, X 38
// signed 0.1 mm, single oscillator 1, reserved 1, Y 38, quarter cycle 2, Z 38; 1006 adds the
// antenna height, 16 bits 0.1 mm.
Rtcm3Decoded stationPosition(BitReader& in, Rtcm3Decoded decoded, bool withHeight)
{
    Rtcm3StationPosition position;
    position.station = *decoded.station;
    position.itrfYear = static_cast<std::uint8_t>(in.bits(6));
    position.gps = in.bits(1) != 0;
    position.glonass = in.bits(1) != 0;
    position.galileo = in.bits(1) != 0;
    position.referenceStation = in.bits(1) != 0;
    position.ecefXM = static_cast<double>(in.signedBits(38)) * 1e-4;
    position.singleOscillator = in.bits(1) != 0;
    in.skip(1);
    position.ecefYM = static_cast<double>(in.signedBits(38)) * 1e-4;
    position.quarterCycle = static_cast<std::uint8_t>(in.bits(2));
    position.ecefZM = static_cast<double>(in.signedBits(38)) * 1e-4;
    if (withHeight) position.antennaHeightM = static_cast<double>(in.bits(16)) * 1e-4;
    if (in.failed()) {
        decoded.problem = Rtcm3Problem::TooShort;
        return decoded;
    }
    decoded.record = position;
    return decoded;
}

// 1007: antenna descriptor and setup id; 1008 adds the antenna serial number; 1033 adds the
// receiver type, firmware and serial number.
Rtcm3Decoded descriptor(BitReader& in, Rtcm3Decoded decoded)
{
    Rtcm3Descriptor description;
    description.station = *decoded.station;
    description.antenna = text(in);
    description.setupId = static_cast<std::uint8_t>(in.bits(8));
    if (decoded.message != 1007) description.antennaSerial = text(in);
    if (decoded.message == 1033) {
        description.receiver = text(in);
        description.firmware = text(in);
        description.receiverSerial = text(in);
    }
    if (in.failed()) {
        decoded.problem = Rtcm3Problem::TooShort;
        return decoded;
    }
    decoded.record = std::move(description);
    return decoded;
}

// MSM header: station 12, epoch 30, multiple message 1, IODS 3, reserved 7, clock steering 2,
// external clock 2, smoothing 1, smoothing interval 3, satellite mask 64, signal mask 32,
// then one cell bit per satellite and signal.
Rtcm3Decoded msmHeader(BitReader& in, Rtcm3Decoded decoded, std::uint8_t gnssId)
{
    Rtcm3MsmHeader header;
    header.station = *decoded.station;
    header.gnssId = gnssId;
    header.msmType = static_cast<std::uint8_t>(decoded.message % 10);
    header.epochRaw = static_cast<std::uint32_t>(in.bits(30));
    header.moreMessages = in.bits(1) != 0;
    header.iods = static_cast<std::uint8_t>(in.bits(3));
    in.skip(7);
    header.clockSteering = static_cast<std::uint8_t>(in.bits(2));
    header.externalClock = static_cast<std::uint8_t>(in.bits(2));
    header.smoothing = in.bits(1) != 0;
    header.smoothingInterval = static_cast<std::uint8_t>(in.bits(3));
    header.satelliteMask = in.bits(64);
    header.signalMask = static_cast<std::uint32_t>(in.bits(32));
    header.satellites = static_cast<std::uint8_t>(std::popcount(header.satelliteMask));
    header.signalCount = static_cast<std::uint8_t>(std::popcount(header.signalMask));
    const unsigned cellBits = static_cast<unsigned>(header.satellites) * header.signalCount;
    // The cell mask is at most 64 bits; more satellites × signals than that is not a message.
    if (cellBits > 64) {
        decoded.problem = Rtcm3Problem::OutOfRange;
        return decoded;
    }
    header.cellMask = in.bits(cellBits);
    header.cells = static_cast<std::uint8_t>(std::popcount(header.cellMask));
    if (in.failed()) {
        decoded.problem = Rtcm3Problem::TooShort;
        return decoded;
    }
    decoded.record = header;
    return decoded;
}

std::optional<std::uint8_t> msmSystem(std::uint16_t message)
{
    if (message < 1071 || message > 1137 || message % 10 == 0 || message % 10 > 7) return std::nullopt;
    switch ((message - 1070) / 10) {
    case 0: return 0;  // GPS
    case 1: return 6;  // GLONASS
    case 2: return 2;  // Galileo
    case 3: return 1;  // SBAS
    case 4: return 5;  // QZSS
    case 5: return 3;  // BeiDou
    case 6: return 7;  // NavIC
    default: return std::nullopt;
    }
}

}  // namespace

Rtcm3Decoded decodeRtcm3(std::span<const std::uint8_t> message)
{
    Rtcm3Decoded decoded;
    BitReader in(message);
    decoded.message = static_cast<std::uint16_t>(in.bits(12));
    if (in.failed()) {
        decoded.problem = Rtcm3Problem::TooShort;
        return decoded;
    }
    if (rtcm3HasStation(decoded.message)) {
        decoded.station = static_cast<std::uint16_t>(in.bits(12));
        if (in.failed()) {
            decoded.station.reset();
            decoded.problem = Rtcm3Problem::TooShort;
            return decoded;
        }
    }
    switch (decoded.message) {
    case 1005: return stationPosition(in, decoded, false);
    case 1006: return stationPosition(in, decoded, true);
    case 1007:
    case 1008:
    case 1033: return descriptor(in, decoded);
    default: break;
    }
    if (const auto system = msmSystem(decoded.message)) return msmHeader(in, decoded, *system);
    decoded.problem = Rtcm3Problem::NotDecoded;
    return decoded;
}

std::string_view rtcm3ProblemKey(Rtcm3Problem problem)
{
    switch (problem) {
    case Rtcm3Problem::None: return {};
    case Rtcm3Problem::TooShort: return "Rtcm3TooShort";
    case Rtcm3Problem::OutOfRange: return "Rtcm3OutOfRange";
    case Rtcm3Problem::NotDecoded: return "Rtcm3NotDecoded";
    }
    return {};
}

}  // namespace binary
