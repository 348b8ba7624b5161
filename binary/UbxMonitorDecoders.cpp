// SPDX-License-Identifier: BSD-2-Clause
#include <string_view>

#include "binary/ByteReader.h"
#include "binary/UbxMessages.h"

namespace binary {

namespace {

UbxDecoded refuse(UbxProblem problem) { return {std::nullopt, problem}; }

// A fixed-width text field: up to the first NUL, bytes that are not printable ASCII as '.'.
std::string fieldText(std::span<const std::uint8_t> bytes)
{
    std::string text;
    for (const std::uint8_t byte : bytes) {
        if (byte == 0) break;
        text.push_back(byte >= 0x20 && byte < 0x7F ? static_cast<char>(byte) : '.');
    }
    return text;
}

UbxAntennaStatus antennaStatus(std::uint8_t value)
{
    return value <= 4 ? static_cast<UbxAntennaStatus>(value) : UbxAntennaStatus::DontKnow;
}

UbxAntennaPower antennaPower(std::uint8_t value)
{
    return value <= 2 ? static_cast<UbxAntennaPower>(value) : UbxAntennaPower::DontKnow;
}

// The value of "NAME=value" among the extensions (some firmware writes "NAME value").
std::string extensionValue(const std::vector<std::string>& extensions, std::string_view name)
{
    for (const std::string& extension : extensions) {
        if (extension.size() > name.size() && extension.compare(0, name.size(), name) == 0
            && (extension[name.size()] == '=' || extension[name.size()] == ' '))
            return extension.substr(name.size() + 1);
    }
    return {};
}

}  // namespace

std::string UbxMonVer::protocolVersion() const { return extensionValue(extensions, "PROTVER"); }
std::string UbxMonVer::module() const { return extensionValue(extensions, "MOD"); }
std::string UbxMonVer::firmware() const { return extensionValue(extensions, "FWVER"); }

// MON-VER (0x0A 0x04): swVersion char[30], hwVersion char[10], then char[30] extensions
// ("ROM BASE 0x118B2060", "FWVER=HPG 1.32", "PROTVER=27.31", "MOD=ZED-F9P", "GPS;GLO;GAL;BDS").
UbxDecoded decodeMonVer(std::span<const std::uint8_t> payload)
{
    const ByteReader in(payload);
    if (in.size() < 40) return refuse(UbxProblem::TooShort);
    if ((in.size() - 40) % 30 != 0) return refuse(UbxProblem::BadLength);
    UbxMonVer version;
    version.software = fieldText(in.bytes(0, 30));
    version.hardware = fieldText(in.bytes(30, 10));
    for (std::size_t at = 40; at + 30 <= in.size(); at += 30) version.extensions.push_back(fieldText(in.bytes(at, 30)));
    return {std::move(version), UbxProblem::None};
}

// MON-RF (0x0A 0x38): version 0, nBlocks, then 24 bytes per RF block: blockId, flags
// (jammingState 0-1), antStatus, antPower, postStatus, noisePerMS, agcCnt, jamInd, ofsI, magI,
// ofsQ, magQ.
UbxDecoded decodeMonRf(std::span<const std::uint8_t> payload)
{
    const ByteReader in(payload);
    if (in.size() < 4) return refuse(UbxProblem::TooShort);
    if (in.u1(0) != 0) return refuse(UbxProblem::BadVersion);
    const std::size_t count = in.u1(1);
    if (in.size() != 4 + 24 * count) return refuse(UbxProblem::BadLength);
    UbxMonRf rf;
    for (std::size_t n = 0; n < count; ++n) {
        const std::size_t at = 4 + 24 * n;
        UbxRfBlock block;
        block.blockId = in.u1(at);
        block.jamming = static_cast<UbxJammingState>(in.u1(at + 1) & 0x03);
        block.antennaStatus = antennaStatus(in.u1(at + 2));
        block.antennaPower = antennaPower(in.u1(at + 3));
        block.postStatus = in.u4(at + 4);
        block.noisePerMs = in.u2(at + 12);
        block.agcCount = in.u2(at + 14);
        block.jamIndicator = in.u1(at + 16);
        block.offsetI = in.i1(at + 17);
        block.magnitudeI = in.u1(at + 18);
        block.offsetQ = in.i1(at + 19);
        block.magnitudeQ = in.u1(at + 20);
        rf.blocks.push_back(block);
    }
    return {std::move(rf), UbxProblem::None};
}

// MON-HW (0x0A 0x09), 60 bytes: pin registers, noisePerMS @16, agcCnt @18, aStatus @20,
// aPower @21, flags @22 (rtcCalib 0, safeBoot 1, jammingState 2-3, xtalAbsent 4), jamInd @45.
UbxDecoded decodeMonHw(std::span<const std::uint8_t> payload)
{
    const ByteReader in(payload);
    if (in.size() < 60) return refuse(UbxProblem::TooShort);
    UbxMonHw hw;
    hw.noisePerMs = in.u2(16);
    hw.agcCount = in.u2(18);
    hw.antennaStatus = antennaStatus(in.u1(20));
    hw.antennaPower = antennaPower(in.u1(21));
    const std::uint8_t flags = in.u1(22);
    hw.rtcCalibrated = (flags & 0x01) != 0;
    hw.safeBoot = (flags & 0x02) != 0;
    hw.jamming = static_cast<UbxJammingState>(flags >> 2 & 0x03);
    hw.crystalAbsent = (flags & 0x10) != 0;
    hw.jamIndicator = in.u1(45);
    return {hw, UbxProblem::None};
}

// ACK-ACK (0x05 0x01) and ACK-NAK (0x05 0x00), 2 bytes: class and id of the message answered.
UbxDecoded decodeAckAck(std::span<const std::uint8_t> payload)
{
    if (payload.size() < 2) return refuse(UbxProblem::TooShort);
    return {UbxAck{true, payload[0], payload[1]}, UbxProblem::None};
}

UbxDecoded decodeAckNak(std::span<const std::uint8_t> payload)
{
    if (payload.size() < 2) return refuse(UbxProblem::TooShort);
    return {UbxAck{false, payload[0], payload[1]}, UbxProblem::None};
}

// RXM-RTCM (0x02 0x32), 8 bytes: version 2, flags (crcFailed 0, msgUsed 1-2), subType,
// refStation, msgType.
UbxDecoded decodeRxmRtcm(std::span<const std::uint8_t> payload)
{
    const ByteReader in(payload);
    if (in.size() < 8) return refuse(UbxProblem::TooShort);
    UbxRxmRtcm rtcm;
    rtcm.crcFailed = (in.u1(1) & 0x01) != 0;
    rtcm.usage = static_cast<std::uint8_t>(in.u1(1) >> 1 & 0x03);
    rtcm.subType = in.u2(2);
    rtcm.referenceStation = in.u2(4);
    rtcm.messageType = in.u2(6);
    return {rtcm, UbxProblem::None};
}

// INF-* (0x04 0x00..0x04): the payload is the text, without a terminator.
UbxDecoded decodeInf(std::span<const std::uint8_t> payload)
{
    UbxInfText inf;
    inf.text = fieldText(payload);
    return {std::move(inf), UbxProblem::None};
}

}  // namespace binary
