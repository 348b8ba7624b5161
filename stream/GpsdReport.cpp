// SPDX-License-Identifier: BSD-2-Clause
#include "stream/GpsdReport.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <string_view>
#include <system_error>

#include "base/FormatText.h"
#include "receiver/ReceiverState.h"
#include "quality/ReceiverTest.h"

namespace gpsdreport {

namespace {

constexpr double kMetersPerSecondPerKnot = 1852.0 / 3600.0;

// Numbers in reports go through to_chars, which writes what printf writes in the C locale
// ("%.*f" rounds the same exact binary value), without printf's cost: TPV and SKY reports
// are written every receiver cycle.
void appendFixed(std::string& out, double value, int decimals)
{
    char digits[352];  // the widest double with decimals to spare
    const auto [end, error] = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, decimals);
    out.append(digits, error == std::errc() ? end : digits);
}

void appendInteger(std::string& out, long long value, int width = 0)
{
    char digits[24];
    const auto [end, error] = std::to_chars(digits, digits + sizeof digits, value);
    if (error != std::errc()) return;
    const auto length = static_cast<int>(end - digits);
    if (value >= 0 && length < width) out.append(static_cast<std::size_t>(width - length), '0');
    out.append(digits, end);
}

// One SKY entry: at most ten names of a few letters and ten 32-bit numbers.
class EntryText {
public:
    void clear() { m_end = m_text.data(); }
    void literal(std::string_view text)
    {
        std::copy(text.begin(), text.end(), m_end);
        m_end += text.size();
    }
    void field(std::string_view name, std::int32_t value)
    {
        literal(name);
        m_end = std::to_chars(m_end, m_text.data() + m_text.size(), value).ptr;
    }
    std::string_view view() const { return {m_text.data(), static_cast<std::size_t>(m_end - m_text.data())}; }

private:
    std::array<char, 256> m_text{};
    char* m_end = m_text.data();
};

void appendNumber(std::string& out, const char* name, int decimals, double value)
{
    out += ",\"";
    out += name;
    out += "\":";
    appendFixed(out, value, decimals);
}

// A number, or null for none (JSON has no NaN).
std::string numberOrNull(std::optional<double> value, int decimals)
{
    if (!value || !std::isfinite(*value)) return "null";
    std::string text;
    appendFixed(text, *value, decimals);
    return text;
}

}  // namespace

std::string test(const ReceiverTest& receiverTest)
{
    const auto& summary = receiverTest.accuracy().summary();
    std::optional<double> ttff2d, ttff3d;
    if (!receiverTest.firstFix().runs().empty()) {
        ttff2d = receiverTest.firstFix().runs().newest().first2dFix;
        ttff3d = receiverTest.firstFix().runs().newest().first3dFix;
    }
    const auto figure = [&summary](double AccuracySummary::*field) {
        return numberOrNull(summary ? std::optional(*summary.*field) : std::nullopt, 3);
    };
    return "{\"class\":\"TEST\",\"points\":" + std::to_string(receiverTest.accuracy().size())
           + ",\"cep50\":" + figure(&AccuracySummary::cep50Metres)
           + ",\"cep95\":" + figure(&AccuracySummary::cep95Metres)
           + ",\"drms2\":" + figure(&AccuracySummary::drms2Metres)
           + ",\"ttff2d\":" + numberOrNull(ttff2d, 1) + ",\"ttff3d\":" + numberOrNull(ttff3d, 1) + "}";
}

std::string rtcm3(const binary::Rtcm3Decoded& message, std::size_t length)
{
    std::string out = formatText("{\"class\":\"RTCM3\",\"type\":%u,\"length\":%zu",
                                 unsigned{message.message}, length);
    if (message.station) out += formatText(",\"station_id\":%u", unsigned{*message.station});
    if (message.record) {
        if (const auto* base = std::get_if<binary::Rtcm3StationPosition>(&*message.record)) {
            std::string systems;
            const auto add = [&systems](bool on, const char* name) {
                if (!on) return;
                if (!systems.empty()) systems += ',';
                systems += quoted(name);
            };
            add(base->gps, "GPS");
            add(base->glonass, "GLONASS");
            add(base->galileo, "GALILEO");
            out += ",\"system\":[" + systems + "]";
            out += base->referenceStation ? ",\"refstation\":true" : ",\"refstation\":false";
            out += base->singleOscillator ? ",\"sro\":true" : ",\"sro\":false";
            appendNumber(out, "x", 4, base->ecefXM);
            appendNumber(out, "y", 4, base->ecefYM);
            appendNumber(out, "z", 4, base->ecefZM);
            if (base->antennaHeightM) appendNumber(out, "h", 4, *base->antennaHeightM);
        }
    }
    return out + "}";
}

int gpsdPrn(Constellation system, int svid)
{
    switch (system) {
    case Constellation::GPS: return svid;
    // gpsd writes the NMEA numbers 33-64 for PRN 120-151, and 152-158 as they are.
    case Constellation::SBAS: return svid >= 120 && svid <= 151 ? svid - 87 : svid;
    case Constellation::Galileo: return 300 + svid;
    case Constellation::BeiDou: return 400 + svid;
    case Constellation::QZSS: return 192 + svid;
    case Constellation::GLONASS: return 64 + svid;
    case Constellation::NavIC: return 800 + svid;
    }
    return svid;
}

std::string quoted(const std::string& text)
{
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20)
                out += formatText("\\u%04x", static_cast<unsigned>(c));
            else
                out += c;
        }
    }
    return out + "\"";
}

std::string tpv(const ReceiverState& state)
{
    std::string out = "{\"class\":\"TPV\"";
    if (state.date() && state.time()) {
        const UtcDate& date = *state.date();
        const UtcTime& time = *state.time();
        // Milliseconds as gpsd writes them, cut rather than rounded: 59.9996 rounded would
        // print as "60.000", a second that does not exist, and carrying it would move the
        // minute, the hour and perhaps the date. The small allowance keeps a sent "59.999"
        // (59.99899... as a double) at 999.
        const auto millis = static_cast<long long>(std::floor(time.seconds * 1000.0 + 1e-6));
        out += ",\"time\":\"";
        appendInteger(out, date.year, 4);
        out += '-';
        appendInteger(out, date.month, 2);
        out += '-';
        appendInteger(out, date.day, 2);
        out += 'T';
        appendInteger(out, time.hours, 2);
        out += ':';
        appendInteger(out, time.minutes, 2);
        out += ':';
        appendInteger(out, millis / 1000, 2);
        out += '.';
        appendInteger(out, millis % 1000, 3);
        out += "Z\"";
    }
    const int mode = state.mode();
    out += ",\"mode\":";
    appendInteger(out, mode);
    if (mode >= 2 && state.position()) {
        appendNumber(out, "lat", 9, state.position()->latitudeDegrees);
        appendNumber(out, "lon", 9, state.position()->longitudeDegrees);
    }
    if (mode == 3 && state.altitudeMeters())
        appendNumber(out, "altMSL", 3, *state.altitudeMeters());
    if (mode >= 2 && state.speedKnots())
        appendNumber(out, "speed", 3, *state.speedKnots() * kMetersPerSecondPerKnot);
    if (mode >= 2 && state.courseDegrees())
        appendNumber(out, "track", 4, *state.courseDegrees());
    const std::optional<std::int32_t> status = state.status();
    if (status && mode >= 2) {
        out += ",\"status\":";
        appendInteger(out, *status);
    }
    if (mode == 3 && state.altitudeEllipsoidMeters()) {
        appendNumber(out, "altHAE", 4, *state.altitudeEllipsoidMeters());
        if (state.altitudeMeters())
            appendNumber(out, "geoidSep", 3,
                         *state.altitudeEllipsoidMeters() - static_cast<double>(*state.altitudeMeters()));
    } else if (mode == 3 && state.altitudeMeters() && state.geoidSeparationMeters()) {
        // NMEA gives the height above the geoid and the geoid's height: gpsd adds them.
        appendNumber(out, "altHAE", 4,
                     static_cast<double>(*state.altitudeMeters()) + static_cast<double>(*state.geoidSeparationMeters()));
        appendNumber(out, "geoidSep", 3, static_cast<double>(*state.geoidSeparationMeters()));
    }
    // Only a fix that uses corrections has a correction age and station; a receiver without
    // them often fills the station field with zeros.
    if (mode >= 2 && status && *status >= 2 && *status <= 4) {
        if (state.dgpsAgeSeconds()) appendNumber(out, "dgpsAge", 1, *state.dgpsAgeSeconds());
        if (state.dgpsStation()) {
            out += ",\"dgpsSta\":";
            appendInteger(out, *state.dgpsStation());
        }
    }
    if (mode >= 2 && state.horizontalErrorMeters()) appendNumber(out, "eph", 3, *state.horizontalErrorMeters());
    if (mode == 3 && state.verticalErrorMeters()) appendNumber(out, "epv", 3, *state.verticalErrorMeters());
    return out + "}";
}

std::string sky(const ReceiverState& state)
{
    std::string out = "{\"class\":\"SKY\"";
    if (state.hdop()) appendNumber(out, "hdop", 2, *state.hdop());
    if (state.vdop()) appendNumber(out, "vdop", 2, *state.vdop());
    if (state.pdop()) appendNumber(out, "pdop", 2, *state.pdop());
    // Kept from report to report: each satellite's signal list keeps its memory.
    static thread_local std::vector<SatelliteInView> satellites;
    state.satellitesInto(satellites);
    std::size_t entries = 0;
    for (const SatelliteInView& satellite : satellites) entries += std::max<std::size_t>(satellite.signalList.size(), 1);
    out.reserve(out.size() + 64 + 120 * entries);  // about what an entry takes
    out += ",\"nSat\":";
    appendInteger(out, static_cast<long long>(satellites.size()));
    out += ",\"uSat\":";
    appendInteger(out, std::count_if(satellites.begin(), satellites.end(),
                                     [](const SatelliteInView& satellite) { return satellite.usedInFix; }));
    out += ",\"satellites\":[";
    // One entry per satellite, or as gpsd one per signal where the receiver reports signals:
    // the satellite's number and place repeated, the signal's own strength, quality, health
    // and use. sigid 0 (L1 C/A, E1, B1I) is left out as gpsd leaves it out. Each entry is put
    // together on the stack and appended once.
    EntryText text;
    const auto entry = [&](const SatelliteInView& satellite, const SignalInView* signal) {
        text.clear();
        text.field(out.back() == '[' ? "{\"PRN\":" : ",{\"PRN\":", gpsdPrn(satellite.constellation, satellite.svid));
        text.field(",\"gnssid\":", gpsdGnssId(satellite.constellation));
        text.field(",\"svid\":", satellite.svid);
        if (signal && signal->sigId != 0) text.field(",\"sigid\":", signal->sigId);
        if (signal && signal->freqId) text.field(",\"freqid\":", *signal->freqId);
        // As gpsd: a place the receiver did not give is left out, not written as 0.
        if (satellite.elevationDegrees) text.field(",\"el\":", *satellite.elevationDegrees);
        if (satellite.azimuthDegrees) text.field(",\"az\":", *satellite.azimuthDegrees);
        const auto& snr = signal ? signal->snrDbHz : satellite.snrDbHz;
        const auto& quality = signal ? signal->quality : satellite.quality;
        const auto& health = signal ? signal->health : satellite.health;
        if (snr) text.field(",\"ss\":", *snr);
        if (quality) text.field(",\"qual\":", *quality);
        if (health) text.field(",\"health\":", *health);
        const bool used = signal ? signal->usedInFix : satellite.usedInFix;
        text.literal(used ? ",\"used\":true}" : ",\"used\":false}");
        out.append(text.view());
    };
    for (const SatelliteInView& satellite : satellites) {
        if (satellite.signalList.empty()) entry(satellite, nullptr);
        for (const SignalInView& signal : satellite.signalList) entry(satellite, &signal);
    }
    return out + "]}";
}

}  // namespace gpsdreport
