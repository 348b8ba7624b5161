#include "core/GpsdReport.h"

#include <cmath>

#include "core/FormatText.h"
#include "core/ReceiverState.h"

namespace gpsdreport {

namespace {

constexpr double kMetersPerSecondPerKnot = 1852.0 / 3600.0;

void appendNumber(std::string& out, const char* name, const char* format, double value)
{
    out += ",\"";
    out += name;
    out += "\":";
    out += formatText(format, value);
}

}  // namespace

int gpsdPrn(Constellation system, int svid)
{
    switch (system) {
    case Constellation::GPS: return svid;
    case Constellation::SBAS: return svid;
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
        // Milliseconds as gpsd writes them; rounding happens on the whole second count so
        // that 59.9996 does not print as "60.000".
        const auto millis = static_cast<long long>(std::floor(time.seconds * 1000.0 + 0.5));
        out += formatText(",\"time\":\"%04u-%02u-%02uT%02u:%02u:%02lld.%03lldZ\"",
                          unsigned{date.year}, unsigned{date.month}, unsigned{date.day},
                          unsigned{time.hours}, unsigned{time.minutes}, millis / 1000,
                          millis % 1000);
    }
    const int mode = state.mode();
    out += formatText(",\"mode\":%d", mode);
    if (mode >= 2 && state.position()) {
        appendNumber(out, "lat", "%.9f", state.position()->latitudeDegrees);
        appendNumber(out, "lon", "%.9f", state.position()->longitudeDegrees);
    }
    if (mode == 3 && state.altitudeMeters())
        appendNumber(out, "altMSL", "%.3f", *state.altitudeMeters());
    if (mode >= 2 && state.speedKnots())
        appendNumber(out, "speed", "%.3f", *state.speedKnots() * kMetersPerSecondPerKnot);
    if (mode >= 2 && state.courseDegrees())
        appendNumber(out, "track", "%.4f", *state.courseDegrees());
    return out + "}";
}

std::string sky(const ReceiverState& state)
{
    std::string out = "{\"class\":\"SKY\"";
    if (state.hdop()) appendNumber(out, "hdop", "%.2f", *state.hdop());
    if (state.vdop()) appendNumber(out, "vdop", "%.2f", *state.vdop());
    if (state.pdop()) appendNumber(out, "pdop", "%.2f", *state.pdop());
    const std::vector<SatelliteInView> satellites = state.satellites();
    out += formatText(",\"nSat\":%zu,\"uSat\":%zu,\"satellites\":[", satellites.size(),
                      state.satellitesUsed());
    bool first = true;
    for (const SatelliteInView& satellite : satellites) {
        if (!first) out += ',';
        first = false;
        out += formatText("{\"PRN\":%d,\"gnssid\":%d,\"svid\":%d",
                          gpsdPrn(satellite.constellation, satellite.svid),
                          gpsdGnssId(satellite.constellation), satellite.svid);
        // A place the receiver did not give is left out: 0 would put it on the horizon at north.
        if (satellite.elevationDegrees) out += formatText(",\"el\":%d", *satellite.elevationDegrees);
        if (satellite.azimuthDegrees) out += formatText(",\"az\":%d", *satellite.azimuthDegrees);
        if (satellite.snrDbHz) out += formatText(",\"ss\":%d", *satellite.snrDbHz);
        out += satellite.usedInFix ? ",\"used\":true}" : ",\"used\":false}";
    }
    return out + "]}";
}

}  // namespace gpsdreport
