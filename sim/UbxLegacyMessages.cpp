// SPDX-License-Identifier: BSD-2-Clause
#include "sim/UbxLegacyMessages.h"

#include <array>

#include "binary/ByteReader.h"
#include "binary/UbxFrame.h"
#include "sim/UbxKeyIds.h"
#include "sim/UbxReceiver.h"

namespace sim {

namespace {

using binary::putLittleEndian;
using namespace keyid;

// The UART1 output key of each message CFG-MSG sets; the USB key is two further on.
struct Output {
    std::uint8_t messageClass, messageId;
    std::uint32_t uart1Key;
};
constexpr std::array kOutputs{
    Output{0x01, 0x07, 0x20910007}, Output{0x01, 0x35, 0x20910016}, Output{0x01, 0x43, kNavSigUart1},
    Output{0x01, 0x04, 0x20910039}, Output{0xF0, 0x00, 0x209100bb}, Output{0xF0, 0x01, 0x209100ca},
    Output{0xF0, 0x02, 0x209100c0}, Output{0xF0, 0x03, 0x209100c5}, Output{0xF0, 0x04, 0x209100ac},
    Output{0xF0, 0x05, 0x209100b1},
};
constexpr std::uint32_t kUsbOffset = 2;

// CFG-PRT protocol bits (UBX 0, NMEA 1, RTCM3 5) and the keys of UART1 (port 1) and USB (3).
constexpr std::array<std::uint8_t, 3> kProtocolBits{0, 1, 5};
constexpr std::array<std::uint32_t, 3> kUart1In{0x10730001, 0x10730002, 0x10730004};
constexpr std::array<std::uint32_t, 3> kUart1Out{0x10740001, 0x10740002, 0x10740004};
constexpr std::array<std::uint32_t, 3> kUsbIn{0x10770001, 0x10770002, 0x10770004};
constexpr std::array<std::uint32_t, 3> kUsbOut{0x10780001, 0x10780002, 0x10780004};

// CFG-GNSS blocks as an M8 reports them: gnssId, reserved and maximum channels, its enable
// key (none for IMES, which stays off).
struct Block {
    std::uint8_t gnssId, reservedChannels, maxChannels;
    std::uint32_t key;
};
constexpr std::array kBlocks{
    Block{0, 8, 16, 0x1031001f}, Block{1, 1, 3, 0x10310020}, Block{2, 4, 8, 0x10310021}, Block{3, 8, 16, 0x10310022},
    Block{4, 0, 8, 0},           Block{5, 0, 3, 0x10310024}, Block{6, 8, 14, 0x10310025},
};

void append(std::vector<std::uint8_t>& out, const std::vector<std::uint8_t>& frame)
{
    out.insert(out.end(), frame.begin(), frame.end());
}

void ack(std::vector<std::uint8_t>& out, bool accepted, std::uint8_t messageId)
{
    const std::uint8_t payload[] = {kCfg, messageId};
    append(out, binary::ubxFrame(0x05, accepted ? 0x01 : 0x00, payload));
}

std::uint64_t get(const UbxLegacyMessages::Layer& ram, std::uint32_t key)
{
    const auto found = ram.find(key);
    return found == ram.end() ? 0 : found->second;
}

std::uint16_t mask(const UbxLegacyMessages::Layer& ram, const std::array<std::uint32_t, 3>& keys)
{
    std::uint16_t bits = 0;
    for (std::size_t i = 0; i < keys.size(); ++i)
        if (get(ram, keys[i]) != 0) bits = static_cast<std::uint16_t>(bits | 1u << kProtocolBits[i]);
    return bits;
}

void setMask(UbxLegacyMessages::Layer& ram, const std::array<std::uint32_t, 3>& keys, std::uint16_t bits)
{
    for (std::size_t i = 0; i < keys.size(); ++i) ram[keys[i]] = bits >> kProtocolBits[i] & 1u;
}

}  // namespace

bool UbxLegacyMessages::handle(std::uint8_t messageId, std::span<const std::uint8_t> payload, Layer& ram,
                               std::vector<std::uint8_t>& out) const
{
    bool accepted = false;
    switch (messageId) {
    case 0x08: accepted = rate(payload, ram, out); break;
    case 0x01: accepted = message(payload, ram, out); break;
    case 0x00: accepted = port(payload, ram, out); break;
    case 0x3E: accepted = gnss(payload, ram, out); break;
    default: return false;
    }
    ack(out, accepted, messageId);
    return true;
}

// CFG-RATE: measRate ms, navRate cycles, timeRef.
bool UbxLegacyMessages::rate(std::span<const std::uint8_t> payload, Layer& ram, std::vector<std::uint8_t>& out) const
{
    const binary::ByteReader in(payload);
    if (payload.empty()) {
        std::vector<std::uint8_t> answer;
        for (const std::uint32_t key : {kRateMeas, kRateNav, kRateTimeRef}) putLittleEndian(answer, get(ram, key), 2);
        append(out, binary::ubxFrame(kCfg, 0x08, answer));
        return true;
    }
    if (payload.size() != 6 || in.u2(0) < 25 || in.u2(2) == 0 || in.u2(2) > 127 || in.u2(4) > 5) return false;
    ram[kRateMeas] = in.u2(0);
    ram[kRateNav] = in.u2(2);
    ram[kRateTimeRef] = in.u2(4);
    return true;
}

// CFG-MSG: poll with class and id; set for the port it arrives on (3 bytes, UART1 here) or for
// all six ports (8 bytes; UART1 is port 1, USB port 3).
bool UbxLegacyMessages::message(std::span<const std::uint8_t> payload, Layer& ram, std::vector<std::uint8_t>& out) const
{
    const binary::ByteReader in(payload);
    const Output* output = nullptr;
    for (const Output& known : kOutputs)
        if (known.messageClass == in.u1(0) && known.messageId == in.u1(1)) output = &known;
    if (!output || (m_m8 && output->uart1Key == kNavSigUart1)) return false;
    switch (payload.size()) {
    case 2: {
        std::vector<std::uint8_t> answer{output->messageClass, output->messageId, 0,
                                         static_cast<std::uint8_t>(get(ram, output->uart1Key)), 0,
                                         static_cast<std::uint8_t>(get(ram, output->uart1Key + kUsbOffset)), 0, 0};
        append(out, binary::ubxFrame(kCfg, 0x01, answer));
        return true;
    }
    case 3: ram[output->uart1Key] = in.u1(2); return true;
    case 8:
        ram[output->uart1Key] = in.u1(3);
        ram[output->uart1Key + kUsbOffset] = in.u1(5);
        return true;
    default: return false;
    }
}

// CFG-PRT: portID, reserved, txReady, mode, baudRate, inProtoMask, outProtoMask, flags,
// reserved. A poll without a port asks for the one it arrives on (UART1).
bool UbxLegacyMessages::port(std::span<const std::uint8_t> payload, Layer& ram, std::vector<std::uint8_t>& out) const
{
    const binary::ByteReader in(payload);
    const std::uint8_t id = payload.empty() ? 1 : in.u1(0);
    if (id != 1 && id != 3) return false;
    const bool uart = id == 1;
    if (payload.size() <= 1) {
        std::vector<std::uint8_t> answer{id, 0};
        putLittleEndian(answer, 0, 2);
        putLittleEndian(answer, uart ? 0x08D0 : 0, 4);
        putLittleEndian(answer, uart ? get(ram, kUart1Baud) : 0, 4);
        putLittleEndian(answer, mask(ram, uart ? kUart1In : kUsbIn), 2);
        putLittleEndian(answer, mask(ram, uart ? kUart1Out : kUsbOut), 2);
        putLittleEndian(answer, 0, 4);
        append(out, binary::ubxFrame(kCfg, 0x00, answer));
        return true;
    }
    if (payload.size() != 20 || (uart && !UbxReceiver::validBaud(in.u4(8)))) return false;
    // Answered at the old rate; the rate changes once the answer is out.
    if (uart) ram[kUart1Baud] = in.u4(8);
    setMask(ram, uart ? kUart1In : kUsbIn, in.u2(12));
    setMask(ram, uart ? kUart1Out : kUsbOut, in.u2(14));
    return true;
}

// CFG-GNSS: msgVer, numTrkChHw, numTrkChUse, numConfigBlocks, then per block gnssId,
// resTrkCh, maxTrkCh, reserved, flags (bit 0 enable, L1 signal in bits 16-23).
bool UbxLegacyMessages::gnss(std::span<const std::uint8_t> payload, Layer& ram, std::vector<std::uint8_t>& out) const
{
    const binary::ByteReader in(payload);
    if (payload.empty()) {
        std::vector<std::uint8_t> answer{0, 32, 32, static_cast<std::uint8_t>(kBlocks.size())};
        for (const Block& block : kBlocks) {
            answer.insert(answer.end(), {block.gnssId, block.reservedChannels, block.maxChannels, 0});
            putLittleEndian(answer, (block.key != 0 && get(ram, block.key) != 0 ? 1u : 0u) | 0x00010000u, 4);
        }
        append(out, binary::ubxFrame(kCfg, 0x3E, answer));
        return true;
    }
    if (in.size() < 4 || in.u1(0) != 0 || in.size() != 4 + 8 * std::size_t{in.u1(3)}) return false;
    Layer changed = ram;
    for (std::size_t at = 4; at < in.size(); at += 8) {
        const Block* block = nullptr;
        for (const Block& known : kBlocks)
            if (known.gnssId == in.u1(at)) block = &known;
        if (!block) return false;
        if (block->key != 0) changed[block->key] = in.u4(at + 4) & 1u;
    }
    ram = std::move(changed);
    return true;
}

}  // namespace sim
