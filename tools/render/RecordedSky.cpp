#include "tools/render/RecordedSky.h"

#include <cstdlib>

#include "core/ByteBuffer.h"
#include "core/FormatText.h"
#include "core/NMEA.h"
#include "core/SatelliteStore.h"

namespace {

constexpr float kFeetPerMetre = 3.2808399200439453f;

// The system and number of a satellite the way the plot labels it. GP and GN sentences carry
// SBAS as 33-64 (PRN minus 87) or 120-158; a GN sentence places the rest by range too.
RecordedSky::Key place(int number, std::optional<Constellation> system)
{
    if (!system || *system == Constellation::GPS) {
        if (number >= 33 && number <= 64) return {Constellation::SBAS, number + 87};
        if (number >= 120 && number <= 158) return {Constellation::SBAS, number};
    }
    if (system) return {*system, number};
    if (number >= 65 && number <= 96) return {Constellation::GLONASS, number};
    if (number >= 193 && number <= 202) return {Constellation::QZSS, number};
    return {Constellation::GPS, number};
}

// The NMEA 4.11 system id at the end of a GSA.
std::optional<Constellation> systemOfId(const std::string& id)
{
    static const std::map<std::string, Constellation> systems = {
        {"1", Constellation::GPS},    {"2", Constellation::GLONASS}, {"3", Constellation::Galileo},
        {"4", Constellation::BeiDou}, {"5", Constellation::QZSS},    {"6", Constellation::NavIC}};
    const auto found = systems.find(id);
    if (found == systems.end()) return std::nullopt;
    return found->second;
}

int number(const std::optional<std::string>& field)
{
    return field ? std::atoi(field->c_str()) : 0;
}

float decimal(const std::optional<std::string>& field)
{
    // The toolkit sets the desktop's locale; a log always has decimal points.
    return field && !field->empty() ? strtof_l(field->c_str(), nullptr, cLocale()) : 0.0f;
}

}  // namespace

void RecordedSky::feed(const std::string& line)
{
    ByteBuffer sentence(line.begin(), line.end());
    for (char c : std::string("\r\n")) sentence.push_back(static_cast<std::uint8_t>(c));
    sentence.push_back(0);
    if (!NMEA::checkSumValid(sentence)) return;
    const auto talker = NMEA::talker(sentence);
    const auto type = NMEA::command(sentence);
    if (!talker || !type) return;
    const std::optional<Constellation> system = constellationOfTalker(*talker);
    const std::uint32_t fields = NMEA::count(sentence);

    if (*type == "GSV" && fields >= 4) {
        // Four fields a satellite after the first four; one more is the signal id.
        const bool signalId = (fields - 4) % 4 == 1;
        const std::string group = *talker + (signalId ? NMEA::parse(sentence, fields - 1).value_or("") : "");
        auto& pending = m_pending[group];
        if (number(NMEA::parse(sentence, 2)) == 1) pending.clear();
        for (std::uint32_t first = 4; first + 3 < fields; first += 4) {
            const auto snr = NMEA::parse(sentence, first + 3);
            if (NMEA::parse(sentence, first).value_or("").empty()) continue;
            const Key key = place(number(NMEA::parse(sentence, first)), system);
            SatelliteInView satellite{key.first, key.second, number(NMEA::parse(sentence, first + 1)),
                                      number(NMEA::parse(sentence, first + 2)), std::nullopt, false};
            if (snr && !snr->empty()) satellite.snrDbHz = number(snr);
            pending.push_back(satellite);
        }
        if (NMEA::parse(sentence, 2) == NMEA::parse(sentence, 1)) m_cycles[group] = pending;
    } else if (*type == "GSA" && fields >= 18) {
        const std::string id = fields > 18 ? NMEA::parse(sentence, 18).value_or("") : "";
        const std::optional<Constellation> used = id.empty() ? system : systemOfId(id);
        auto& set = m_used[*talker + id];
        set.clear();
        for (std::uint32_t field = 3; field <= 14; ++field)
            if (const int n = number(NMEA::parse(sentence, field)); n != 0) set.insert(place(n, used));
        m_pdop = decimal(NMEA::parse(sentence, 15));
        m_hdop = decimal(NMEA::parse(sentence, 16));
        m_vdop = decimal(NMEA::parse(sentence, 17));
    } else if (*type == "GGA" && fields > 9) {
        if (const auto altitude = NMEA::parse(sentence, 9); altitude && !altitude->empty())
            m_altitudeMeters = decimal(altitude);
    }
}

std::vector<SatelliteInView> RecordedSky::sky() const
{
    // A satellite heard on several signals is one satellite, with its best signal.
    std::vector<SatelliteInView> satellites;
    std::map<Key, std::size_t> index;
    for (const auto& [group, cycle] : m_cycles) {
        for (const SatelliteInView& satellite : cycle) {
            const Key key{satellite.constellation, satellite.svid};
            const auto found = index.find(key);
            if (found == index.end()) {
                index[key] = satellites.size();
                satellites.push_back(satellite);
            } else if (satellite.snrDbHz.value_or(-1) > satellites[found->second].snrDbHz.value_or(-1)) {
                satellites[found->second].snrDbHz = satellite.snrDbHz;
            }
        }
    }
    for (SatelliteInView& satellite : satellites)
        for (const auto& [stream, used] : m_used)
            if (used.count({satellite.constellation, satellite.svid})) satellite.usedInFix = true;
    return satellites;
}

void RecordedSky::show(SatelliteStore& store) const
{
    store.setSatellitesInView(sky());
    store.setMeters(true);
    store.setDop(m_pdop, m_hdop, m_vdop);
    store.setAltitude(m_altitudeMeters * kFeetPerMetre);
}
