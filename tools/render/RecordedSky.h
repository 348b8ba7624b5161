#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/Constellation.h"

class SatelliteStore;

// A recorded log's sky, folded just far enough for a picture: the last complete GSV cycle of
// every talker and signal, the last used list of every GSA stream, the DOPs and the altitude.
class RecordedSky {
public:
    using Key = std::pair<Constellation, int>;  // system and number

    // One line of the log; comments, damaged lines and other sentences are passed over.
    void feed(const std::string& line);
    // Hands satellites, DOPs and altitude to the store (which redraws).
    void show(SatelliteStore& store) const;
    std::size_t satellitesInView() const { return sky().size(); }

private:
    std::vector<SatelliteInView> sky() const;

    std::map<std::string, std::vector<SatelliteInView>> m_cycles;   // complete, by talker + signal
    std::map<std::string, std::vector<SatelliteInView>> m_pending;  // being received
    std::map<std::string, std::set<Key>> m_used;                    // by GSA stream
    float m_pdop = 0.0f, m_hdop = 0.0f, m_vdop = 0.0f;
    float m_altitudeMeters = 0.0f;
};
