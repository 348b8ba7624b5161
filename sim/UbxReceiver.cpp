// SPDX-License-Identifier: BSD-2-Clause
#include "sim/UbxReceiver.h"

#include <array>
#include <cmath>
#include <numbers>
#include <string_view>

#include "binary/ByteReader.h"
#include "binary/UbxCommands.h"
#include "binary/UbxConfigKeys.h"
#include "binary/UbxFrame.h"
#include "sim/UbxKeyIds.h"

namespace sim {

namespace {

using binary::putLittleEndian;
using namespace keyid;

void ack(std::vector<std::uint8_t>& out, bool accepted, std::uint8_t messageClass, std::uint8_t messageId)
{
    const std::uint8_t payload[] = {messageClass, messageId};
    const auto frame = binary::ubxFrame(0x05, accepted ? 0x01 : 0x00, payload);
    out.insert(out.end(), frame.begin(), frame.end());
}

void append(std::vector<std::uint8_t>& out, const std::vector<std::uint8_t>& frame)
{
    out.insert(out.end(), frame.begin(), frame.end());
}

void putText(std::vector<std::uint8_t>& payload, std::string_view text, std::size_t width)
{
    for (std::size_t i = 0; i < width; ++i) payload.push_back(i < text.size() ? static_cast<std::uint8_t>(text[i]) : 0);
}

std::int64_t scaled(double value, double unit) { return std::llround(value / unit); }

}  // namespace

bool UbxReceiver::validBaud(std::uint64_t baud)
{
    for (const std::uint64_t rate : {4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600})
        if (baud == rate) return true;
    return false;
}

UbxReceiver::UbxReceiver(std::uint32_t baud, UbxModel model)
    : m_model(model), m_legacy(model == UbxModel::M8)
{
    // Every listed key starts at a plausible factory value; this receiver speaks UBX, with the
    // navigation messages on and NMEA off.
    for (const binary::UbxConfigKey& key : binary::ubxConfigKeys())
        m_defaults[key.id] = key.type == binary::UbxValueType::Bit ? 1 : 0;
    m_defaults[kRateMeas] = 1000;
    m_defaults[kRateNav] = 1;
    m_defaults[0x20210003] = 1;  // time reference: GPS
    m_defaults[kUart1Baud] = 38400;
    m_defaults[0x40530001] = 38400;
    m_defaults[kUart1OutNmea] = 0;
    m_defaults[0x20110021] = 0;  // portable dynamic model
    m_defaults[0x20110011] = 3;  // auto 2D/3D
    m_defaults[0x20930001] = 41; // NMEA 4.11
    m_defaults[0x10930006] = 0;
    for (const std::uint32_t key : {kNavPvtUart1, kNavSatUart1, kNavSigUart1, kNavDopUart1}) m_defaults[key] = 1;
    if (model == UbxModel::M8) {
        m_defaults[kUart1Baud] = factoryBaud(model);
        m_defaults[kNavSigUart1] = 0;
        m_defaults[0x10310021] = 0;  // Galileo and BeiDou off, as an M8 leaves the factory
        m_defaults[0x10310022] = 0;
    }
    if (baud != m_defaults[kUart1Baud]) m_flash[kUart1Baud] = baud;
    reset();
}

std::vector<std::uint8_t> UbxReceiver::receive(std::span<const std::uint8_t> bytes)
{
    std::vector<std::uint8_t> out;
    m_framer.feed(bytes);
    binary::Frame frame;
    while (m_framer.next(frame))
        if (frame.kind == binary::FrameKind::Ubx) handle(frame, out);
    return out;
}

void UbxReceiver::handle(const binary::Frame& frame, std::vector<std::uint8_t>& out)
{
    const auto payload = frame.payload();
    if (frame.ubxClass == 0x0A && frame.ubxId == 0x04 && payload.empty()) {
        std::vector<std::uint8_t> version;
        if (m_model == UbxModel::M8) {
            putText(version, "ROM CORE 3.01 (107888)", 30);
            putText(version, "00080000", 10);
            for (const char* extension : {"FWVER=SPG 3.01", "PROTVER=18.00", "MOD=NEO-M8N", "GPS;GLO;GAL;BDS", "SBAS;IMES;QZSS"})
                putText(version, extension, 30);
        } else {
            putText(version, "ROM SPG 5.10 (7b202e)", 30);
            putText(version, "000A0000", 10);
            for (const char* extension : {"FWVER=SIM 1.00", "PROTVER=34.10", "MOD=SIM-F9", "GPS;GLO;GAL;BDS", "SBAS;QZSS"})
                putText(version, extension, 30);
        }
        append(out, binary::ubxFrame(0x0A, 0x04, version));
        return;
    }
    if (frame.ubxClass != kCfg) return;
    if (m_legacy.handle(frame.ubxId, payload, m_ram, out)) return;
    // An M8 has no configuration keys.
    if (m_model == UbxModel::M8 && (frame.ubxId == 0x8A || frame.ubxId == 0x8B || frame.ubxId == 0x8C)) {
        ack(out, false, kCfg, frame.ubxId);
        return;
    }
    switch (frame.ubxId) {
    case 0x8B:
        valGet(payload, out);
        return;
    case 0x8A:
        ack(out, valSet(payload), kCfg, frame.ubxId);
        return;
    case 0x8C:
        ack(out, valDel(payload), kCfg, frame.ubxId);
        return;
    case 0x09:
        ack(out, cfgCfg(payload), kCfg, frame.ubxId);
        return;
    case 0x04:
        // Resets are not acknowledged; the receiver restarts from what it kept.
        if (payload.size() == 4) reset();
        else ack(out, false, kCfg, frame.ubxId);
        return;
    default:
        ack(out, false, kCfg, frame.ubxId);
        return;
    }
}

// A layer holds only the keys stored in it; RAM and the defaults hold every key.
void UbxReceiver::valGet(std::span<const std::uint8_t> payload, std::vector<std::uint8_t>& out)
{
    const binary::ByteReader in(payload);
    const Layer* layer = nullptr;
    switch (in.u1(1)) {
    case 0: layer = &m_ram; break;
    case 1: layer = &m_bbr; break;
    case 2: layer = &m_flash; break;
    case 7: layer = &m_defaults; break;
    default: break;
    }
    const std::size_t keys = payload.size() >= 4 ? (payload.size() - 4) / 4 : 0;
    if (!layer || in.u1(0) != 0 || payload.size() < 8 || (payload.size() - 4) % 4 != 0 || keys > 64) {
        ack(out, false, kCfg, 0x8B);
        return;
    }
    std::vector<std::uint8_t> answer{0x01, in.u1(1)};
    putLittleEndian(answer, in.u2(2), 2);
    for (std::size_t n = 0; n < keys; ++n) {
        const std::uint32_t key = in.u4(4 + 4 * n);
        if (!m_defaults.contains(key)) {
            ack(out, false, kCfg, 0x8B);
            return;
        }
        const auto found = layer->find(key);
        if (found == layer->end()) continue;
        putLittleEndian(answer, key, 4);
        putLittleEndian(answer, found->second, binary::ubxKeyValueSize(key));
    }
    append(out, binary::ubxFrame(kCfg, 0x8B, answer));
    ack(out, true, kCfg, 0x8B);
}

// All or nothing: one unknown key or unacceptable value refuses the whole message.
bool UbxReceiver::valSet(std::span<const std::uint8_t> payload)
{
    const binary::ByteReader in(payload);
    if (payload.size() < 9 || in.u1(0) != 0) return false;
    const std::uint8_t layers = in.u1(1);
    if ((layers & 0x07) == 0) return false;
    std::vector<binary::UbxConfigValue> values;
    for (std::size_t at = 4; at < payload.size();) {
        const std::uint32_t key = in.u4(at);
        const std::size_t size = binary::ubxKeyValueSize(key);
        if (size == 0 || !in.has(at + 4, size) || !m_defaults.contains(key)) return false;
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < size; ++i) value |= static_cast<std::uint64_t>(in.u1(at + 4 + i)) << (8 * i);
        if (!acceptable(key, value)) return false;
        values.push_back({key, value});
        at += 4 + size;
    }
    for (const auto& [key, value] : values) {
        if (layers & binary::ubxlayers::kRam) m_ram[key] = value;
        if (layers & binary::ubxlayers::kBbr) m_bbr[key] = value;
        if (layers & binary::ubxlayers::kFlash) m_flash[key] = value;
    }
    return true;
}

bool UbxReceiver::valDel(std::span<const std::uint8_t> payload)
{
    const binary::ByteReader in(payload);
    if (payload.size() < 8 || (payload.size() - 4) % 4 != 0 || in.u1(0) != 0) return false;
    const std::uint8_t layers = in.u1(1);
    for (std::size_t at = 4; at < payload.size(); at += 4) {
        if (layers & binary::ubxlayers::kBbr) m_bbr.erase(in.u4(at));
        if (layers & binary::ubxlayers::kFlash) m_flash.erase(in.u4(at));
    }
    return true;
}

// CFG-CFG: clear, then save, then load, each on the devices named (BBR and flash).
bool UbxReceiver::cfgCfg(std::span<const std::uint8_t> payload)
{
    const binary::ByteReader in(payload);
    if (payload.size() != 12 && payload.size() != 13) return false;
    const std::uint8_t devices =
        payload.size() == 13 ? in.u1(12) : binary::ubxdevices::kBbr | binary::ubxdevices::kFlash;
    const bool bbr = (devices & binary::ubxdevices::kBbr) != 0;
    const bool flash = (devices & (binary::ubxdevices::kFlash | binary::ubxdevices::kSpiFlash)) != 0;
    if (in.u4(0) != 0) {
        if (bbr) m_bbr.clear();
        if (flash) m_flash.clear();
    }
    if (in.u4(4) != 0) {
        if (bbr) m_bbr = m_ram;
        if (flash) m_flash = m_ram;
    }
    if (in.u4(8) != 0) reset();
    return true;
}

// RAM is rebuilt from the defaults, then flash, then battery-backed RAM.
void UbxReceiver::reset()
{
    m_ram = m_defaults;
    for (const Layer* layer : {&m_flash, &m_bbr})
        for (const auto& [key, value] : *layer) m_ram[key] = value;
}

bool UbxReceiver::acceptable(std::uint32_t key, std::uint64_t value) const
{
    if (key == kRateMeas) return value >= 25;
    if (key == kRateNav) return value >= 1 && value <= 127;
    if (key == kUart1Baud || key == 0x40530001) return validBaud(value);
    if ((key >> 28 & 0x07) == 1) return value <= 1;
    return true;
}

std::uint64_t UbxReceiver::ram(std::uint32_t key) const
{
    const auto found = m_ram.find(key);
    return found == m_ram.end() ? 0 : found->second;
}

std::uint16_t UbxReceiver::measurementPeriodMs() const { return static_cast<std::uint16_t>(ram(kRateMeas)); }
std::uint32_t UbxReceiver::baudRate() const { return static_cast<std::uint32_t>(ram(kUart1Baud)); }
std::uint8_t UbxReceiver::outputRate(std::uint32_t key) const { return static_cast<std::uint8_t>(ram(key)); }
bool UbxReceiver::nmeaOutput() const { return ram(kUart1OutNmea) != 0; }

std::vector<std::uint8_t> UbxReceiver::measurement(const UbxEpoch& epoch)
{
    const std::uint64_t count = m_measurements++;
    const std::uint64_t navRate = std::max<std::uint64_t>(1, ram(kRateNav));
    if (count % navRate != 0 || ram(kUart1OutUbx) == 0) return {};
    const std::uint64_t solution = count / navRate;
    auto due = [this, solution](std::uint32_t key) {
        const std::uint64_t rate = ram(key);
        return rate != 0 && solution % rate == 0;
    };
    std::vector<std::uint8_t> out;
    if (due(kNavPvtUart1)) {
        std::vector<std::uint8_t> p;
        const bool fix = epoch.fixType != binary::UbxFixType::NoFix && epoch.fixType != binary::UbxFixType::TimeOnly;
        std::uint8_t used = 0;
        for (const UbxSkySatellite& satellite : epoch.satellites) used += satellite.used ? 1 : 0;
        putLittleEndian(p, epoch.timeOfWeekMs, 4);
        putLittleEndian(p, epoch.date.year, 2);
        p.insert(p.end(), {epoch.date.month, epoch.date.day, epoch.time.hour, epoch.time.minute, epoch.time.second});
        p.push_back(0x07);  // date, time valid, fully resolved
        putLittleEndian(p, 20, 4);
        putLittleEndian(p, static_cast<std::uint32_t>(epoch.time.nanosecond), 4);
        p.push_back(static_cast<std::uint8_t>(epoch.fixType));
        p.push_back(static_cast<std::uint8_t>((fix ? 0x01 : 0x00) | static_cast<unsigned>(epoch.carrier) << 6
                                              | (epoch.carrier != binary::UbxCarrierSolution::None ? 0x02 : 0x00)));
        p.push_back(0xE0);  // date and time confirmed
        p.push_back(used);
        putLittleEndian(p, static_cast<std::uint64_t>(scaled(epoch.longitudeDeg, 1e-7)), 4);
        putLittleEndian(p, static_cast<std::uint64_t>(scaled(epoch.latitudeDeg, 1e-7)), 4);
        putLittleEndian(p, static_cast<std::uint64_t>(scaled(epoch.heightMslM + epoch.geoidSeparationM, 1e-3)), 4);
        putLittleEndian(p, static_cast<std::uint64_t>(scaled(epoch.heightMslM, 1e-3)), 4);
        putLittleEndian(p, 1500, 4);  // hAcc mm
        putLittleEndian(p, 2500, 4);  // vAcc mm
        const double headingRad = epoch.headingDeg * std::numbers::pi / 180.0;
        putLittleEndian(p, static_cast<std::uint64_t>(scaled(epoch.groundSpeedMps * std::cos(headingRad), 1e-3)), 4);
        putLittleEndian(p, static_cast<std::uint64_t>(scaled(epoch.groundSpeedMps * std::sin(headingRad), 1e-3)), 4);
        putLittleEndian(p, 0, 4);
        putLittleEndian(p, static_cast<std::uint64_t>(scaled(epoch.groundSpeedMps, 1e-3)), 4);
        putLittleEndian(p, static_cast<std::uint64_t>(scaled(epoch.headingDeg, 1e-5)), 4);
        putLittleEndian(p, 300, 4);      // sAcc mm/s
        putLittleEndian(p, 500000, 4);   // headAcc 5°
        putLittleEndian(p, static_cast<std::uint64_t>(scaled(epoch.pdop, 0.01)), 2);
        putLittleEndian(p, fix ? 0 : 1, 2);  // invalidLlh without a fix
        p.resize(92, 0);
        append(out, binary::ubxFrame(0x01, 0x07, p));
    }
    if (due(kNavSatUart1)) {
        std::vector<std::uint8_t> p;
        putLittleEndian(p, epoch.timeOfWeekMs, 4);
        p.insert(p.end(), {0x01, static_cast<std::uint8_t>(std::min<std::size_t>(epoch.satellites.size(), 255)), 0, 0});
        for (std::size_t n = 0; n < epoch.satellites.size() && n < 255; ++n) {
            const UbxSkySatellite& s = epoch.satellites[n];
            p.insert(p.end(), {static_cast<std::uint8_t>(s.gnss), s.svId, s.cnoDbHz, static_cast<std::uint8_t>(s.elevationDeg)});
            putLittleEndian(p, static_cast<std::uint16_t>(s.azimuthDeg), 2);
            putLittleEndian(p, 0, 2);
            // quality 7 when used, 4 when tracked; healthy; ephemeris available
            const std::uint32_t flags = (s.used ? 0x0F : (s.cnoDbHz > 0 ? 0x04 : 0x00)) | 0x10 | 0x800;
            putLittleEndian(p, flags, 4);
        }
        append(out, binary::ubxFrame(0x01, 0x35, p));
    }
    if (m_model != UbxModel::M8 && due(kNavSigUart1)) {
        std::vector<std::uint8_t> p;
        std::vector<std::uint8_t> blocks;
        std::size_t count = 0;
        for (const UbxSkySatellite& s : epoch.satellites) {
            for (const std::uint8_t sigId : s.sigIds) {
                if (count == 255) break;
                ++count;
                const bool glonass = s.gnss == binary::UbxGnss::Glonass;
                blocks.insert(blocks.end(), {static_cast<std::uint8_t>(s.gnss), s.svId, sigId,
                                             static_cast<std::uint8_t>(glonass ? 7 : 0)});
                putLittleEndian(blocks, 0, 2);
                // Second signals arrive a few dB weaker than the first.
                const auto cno = static_cast<std::uint8_t>(sigId == s.sigIds.front() ? s.cnoDbHz : std::max(0, s.cnoDbHz - 4));
                blocks.insert(blocks.end(), {cno, static_cast<std::uint8_t>(s.used ? 7 : 4), 0, 0});
                putLittleEndian(blocks, 0x01 | (s.used ? 0x08 : 0x00), 2);
                putLittleEndian(blocks, 0, 4);
            }
        }
        putLittleEndian(p, epoch.timeOfWeekMs, 4);
        p.insert(p.end(), {0x00, static_cast<std::uint8_t>(count), 0, 0});
        p.insert(p.end(), blocks.begin(), blocks.end());
        append(out, binary::ubxFrame(0x01, 0x43, p));
    }
    if (due(kNavDopUart1)) {
        std::vector<std::uint8_t> p;
        putLittleEndian(p, epoch.timeOfWeekMs, 4);
        const double tdop = epoch.pdop * 0.8;
        for (const double dop : {std::hypot(epoch.pdop, tdop), epoch.pdop, tdop, epoch.vdop, epoch.hdop,
                                 epoch.hdop / std::numbers::sqrt2, epoch.hdop / std::numbers::sqrt2})
            putLittleEndian(p, static_cast<std::uint64_t>(scaled(dop, 0.01)), 2);
        append(out, binary::ubxFrame(0x01, 0x04, p));
    }
    return out;
}

}  // namespace sim
