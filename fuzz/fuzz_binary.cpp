// SPDX-License-Identifier: BSD-2-Clause
// Arbitrary bytes through the framer (in pieces cut where the input says), every frame it
// gives through the UBX table or the RTCM3 decoder, and the bytes also straight into every
// UBX decoder and the configuration answer reader: no crash, every frame's check holds, every
// byte is accounted for, and no record carries a value outside the range its decoder promises.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <variant>
#include <vector>

#include "binary/Crc24q.h"
#include "binary/Rtcm3.h"
#include "binary/StreamFramer.h"
#include "binary/UbxConfigKeys.h"
#include "binary/UbxFrame.h"
#include "binary/UbxLegacyConfig.h"
#include "binary/UbxMessages.h"
#include "stream/GpsdReport.h"
#include "receiver/ReceiverState.h"

namespace {

using namespace binary;

void check(bool condition)
{
    if (!condition) std::abort();
}

void checkPosition(const std::optional<double>& latitude, const std::optional<double>& longitude)
{
    if (latitude) check(std::fabs(*latitude) <= 90.0);
    if (longitude) check(std::fabs(*longitude) <= 180.0);
}

void checkTime(const std::optional<UbxDate>& date, const std::optional<UbxTimeOfDay>& time)
{
    if (date) check(date->month >= 1 && date->month <= 12 && date->day >= 1 && date->day <= 31);
    if (time) check(time->hour < 24 && time->minute < 60 && time->second <= 60);
}

struct RangeCheck {
    void operator()(const UbxNavPvt& r) const
    {
        checkPosition(r.latitudeDeg, r.longitudeDeg);
        checkTime(r.date, r.time);
        check(static_cast<int>(r.fixType) <= 5 && static_cast<int>(r.carrier) <= 2);
        if (r.heightMslM) check(r.latitudeDeg.has_value());
    }
    void operator()(const UbxNavSat& r) const
    {
        for (const auto& s : r.satellites) {
            if (s.elevationDeg) check(*s.elevationDeg >= -90 && *s.elevationDeg <= 90);
            if (s.azimuthDeg) check(*s.azimuthDeg >= 0 && *s.azimuthDeg <= 360 && s.elevationDeg);
            check(s.quality <= 7 && static_cast<int>(s.gnss) <= 7);
        }
    }
    void operator()(const UbxNavSig& r) const
    {
        for (const auto& s : r.signalList) {
            check(s.quality <= 7 && static_cast<int>(s.gnss) <= 7);
            if (s.glonassFrequency) check(s.gnss == UbxGnss::Glonass && *s.glonassFrequency >= -7 && *s.glonassFrequency <= 6);
        }
    }
    void operator()(const UbxNavTimeUtc& r) const { checkTime(r.date, r.time); }
    void operator()(const UbxNavStatus& r) const { check(static_cast<int>(r.fixType) <= 5); }
    void operator()(const UbxNavHpPosLlh& r) const { checkPosition(r.latitudeDeg, r.longitudeDeg); }
    void operator()(const UbxNavPosLlh& r) const { checkPosition(r.latitudeDeg, r.longitudeDeg); }
    void operator()(const UbxNavSol& r) const { check(static_cast<int>(r.fixType) <= 5); }
    void operator()(const UbxNavSvInfo& r) const
    {
        for (const auto& c : r.channels) {
            if (c.elevationDeg) check(*c.elevationDeg >= -90 && *c.elevationDeg <= 90);
            if (c.azimuthDeg) check(*c.azimuthDeg >= 0 && *c.azimuthDeg <= 360);
        }
    }
    void operator()(const UbxMonRf& r) const
    {
        for (const auto& b : r.blocks) check(static_cast<int>(b.antennaStatus) <= 4 && static_cast<int>(b.antennaPower) <= 2);
    }
    void operator()(const UbxMonHw& r) const
    {
        check(static_cast<int>(r.antennaStatus) <= 4 && static_cast<int>(r.antennaPower) <= 2);
    }
    void operator()(const UbxMonVer& r) const
    {
        for (const char c : r.software) check(c >= 0x20 && c < 0x7F);
    }
    template <typename Other>
    void operator()(const Other&) const
    {
    }
};

void checkUbx(std::uint8_t messageClass, std::uint8_t messageId, std::span<const std::uint8_t> payload)
{
    const UbxDecoded decoded = decodeUbx(messageClass, messageId, payload);
    check(decoded.record.has_value() == (decoded.problem == UbxProblem::None));
    if (!decoded.record) return;
    std::visit(RangeCheck{}, *decoded.record);
    // Folded into the receiver state, whatever the message says, the state stays one a window
    // can show and a report can write.
    static ReceiverState state;
    static double now = 0.0;
    now += 0.25;
    state.apply(*decoded.record, now);
    check(state.satellitesUsed() <= state.satellitesInView());
    for (const SatelliteInView& s : state.satellites()) {
        check(!s.elevationDegrees || (*s.elevationDegrees >= 0 && *s.elevationDegrees <= 90));
        check(!s.azimuthDegrees || (*s.azimuthDegrees >= 0 && *s.azimuthDegrees < 360));
        for (const SignalInView& signal : s.signalList) {
            check(!signal.freqId || (*signal.freqId >= 0 && *signal.freqId <= 13));
            check(!signal.quality || (*signal.quality >= 0 && *signal.quality <= 7));
            check(!signal.snrDbHz || !s.snrDbHz || *signal.snrDbHz <= *s.snrDbHz);
        }
    }
    if (const auto& position = state.position())
        check(std::isfinite(position->latitudeDegrees) && std::fabs(position->latitudeDegrees) <= 90.0 &&
              std::isfinite(position->longitudeDegrees) && std::fabs(position->longitudeDegrees) <= 180.0);
    check(!gpsdreport::tpv(state).empty() && !gpsdreport::sky(state).empty());
}

// The same bytes as the answer to each older CFG poll: what is read from it and written back
// unchanged makes a whole frame whose payload reads the same again.
void checkLegacyAnswers(std::span<const std::uint8_t> answer)
{
    for (const char* name : {"CFG-RATE-MEAS", "CFG-UART1-BAUDRATE", "CFG-MSGOUT-UBX_NAV_PVT_UART1",
                             "CFG-MSGOUT-NMEA_ID_GGA_UART1", "CFG-SIGNAL-GLO_ENA"}) {
        const UbxConfigKey* key = ubxConfigKeyByName(name);
        const auto target = key ? ubxLegacyTarget(key->id) : std::nullopt;
        if (!target) continue;
        const std::uint32_t keys[] = {key->id};
        const auto values = ubxLegacyValues(*target, answer, keys);
        if (!values) continue;
        const std::vector<std::uint8_t> frame = ubxLegacySet(*target, answer, *values);
        if (frame.empty()) continue;
        check(frame.size() >= 8 && frame[0] == 0xB5 && frame[1] == 0x62 && frame[2] == 0x06);
        const auto written = std::span<const std::uint8_t>(frame).subspan(6, frame.size() - 8);
        const auto again = ubxLegacyValues(*target, written, keys);
        check(again && again->size() == values->size());
        for (std::size_t i = 0; again && i < again->size() && i < values->size(); ++i)
            check((*again)[i].key == (*values)[i].key && (*again)[i].value == (*values)[i].value);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> input(data, size);
    if (input.empty()) return 0;

    // Small caps so that waiting, refusing and resynchronising are all reached.
    StreamFramer framer(64 + input[0] % 200, 16 + input[0] % 300);
    const std::size_t chunk = 1 + input[0] % 17;
    std::size_t inFrames = 0;
    Frame frame;
    auto takeFrames = [&] {
        while (framer.next(frame)) {
            inFrames += frame.bytes.size();
            const auto payload = frame.payload();
            switch (frame.kind) {
            case FrameKind::Ubx: {
                check(frame.bytes.size() == payload.size() + 8);
                const UbxChecksum sum = ubxChecksum(std::span<const std::uint8_t>(frame.bytes).subspan(2, payload.size() + 4));
                check(sum.a == frame.bytes[frame.bytes.size() - 2] && sum.b == frame.bytes.back());
                checkUbx(frame.ubxClass, frame.ubxId, payload);
                break;
            }
            case FrameKind::Rtcm3: {
                check(crc24q(std::span<const std::uint8_t>(frame.bytes).first(frame.bytes.size() - 3))
                      == (static_cast<std::uint32_t>(frame.bytes[frame.bytes.size() - 3]) << 16
                          | static_cast<std::uint32_t>(frame.bytes[frame.bytes.size() - 2]) << 8 | frame.bytes.back()));
                const Rtcm3Decoded decoded = decodeRtcm3(payload);
                check(decoded.message == frame.rtcmMessage || payload.size() < 2);
                break;
            }
            case FrameKind::Nmea:
                check(!frame.bytes.empty() && (frame.bytes[0] == '$' || frame.bytes[0] == '!'));
                break;
            }
            check(!describeFrame(frame).empty());
        }
    };
    for (std::size_t at = 1; at < size; at += chunk) {
        framer.feed(input.subspan(at, std::min(chunk, size - at)));
        takeFrames();
    }
    framer.drain();
    takeFrames();
    check(framer.pending() == 0);
    check(inFrames + framer.counts().bytesSkipped + framer.counts().lateLineFeeds == size - 1);

    // The same bytes as the payload of every message in the table, and as RTCM3 and
    // configuration answers.
    const auto payload = input.subspan(1);
    for (const UbxMessageKind& kind : ubxMessageTable()) checkUbx(kind.messageClass, kind.messageId, payload);
    const Rtcm3Decoded rtcm = decodeRtcm3(payload);
    if (rtcm.record) {
        if (const auto* header = std::get_if<Rtcm3MsmHeader>(&*rtcm.record)) check(header->satellites * header->signalCount <= 64);
    }
    if (const auto response = decodeUbxValGetResponse(payload)) {
        for (const UbxConfigValue& value : response->values) check(ubxKeyValueSize(value.key) != 0);
    }
    checkLegacyAnswers(payload);
    return 0;
}
