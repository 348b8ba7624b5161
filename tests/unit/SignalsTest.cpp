// SPDX-License-Identifier: BSD-2-Clause
// Signals of a satellite: NMEA 4.10 GSV streams merged per satellite, NAV-SIG beside NAV-SAT,
// used counts that count satellites, the per-signal SKY report, and signal names and bands.

#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "stream/GpsdReport.h"
#include "receiver/ReceiverState.h"
#include "nmea/SentenceTable.h"
#include "receiver/SignalNames.h"

namespace {

using binary::UbxGnss;

ReceiverState::Changes feed(ReceiverState& state, const std::string& text, double now = 0.0)
{
    const auto fields = SentenceFields::split(text);
    const SentenceKind* kind = fields ? sentenceKind(fields->type()) : nullptr;
    if (!kind) return 0;
    const Decoded decoded = kind->decode(*fields);
    return decoded.record ? state.apply(*decoded.record, now) : 0;
}

const SatelliteInView* find(const std::vector<SatelliteInView>& sky, Constellation system, int svid)
{
    for (const SatelliteInView& s : sky)
        if (s.constellation == system && s.svid == svid) return &s;
    return nullptr;
}

std::vector<int> sigIds(const SatelliteInView& satellite)
{
    std::vector<int> ids;
    for (const SignalInView& s : satellite.signalList) ids.push_back(s.sigId);
    return ids;
}

binary::UbxSatellite ubxSatellite(UbxGnss gnss, int svid, int cno, bool used)
{
    binary::UbxSatellite s;
    s.gnss = gnss;
    s.svId = static_cast<std::uint8_t>(svid);
    s.cnoDbHz = static_cast<std::uint8_t>(cno);
    s.elevationDeg = 40;
    s.azimuthDeg = 120;
    s.quality = 7;
    s.used = used;
    s.health = binary::UbxHealth::Healthy;
    return s;
}

binary::UbxSignal ubxSignal(UbxGnss gnss, int svid, int sigId, int cno, bool used)
{
    binary::UbxSignal s;
    s.gnss = gnss;
    s.svId = static_cast<std::uint8_t>(svid);
    s.sigId = static_cast<std::uint8_t>(sigId);
    s.cnoDbHz = static_cast<std::uint8_t>(cno);
    s.quality = used ? 7 : 1;
    s.pseudorangeUsed = used;
    s.health = used ? binary::UbxHealth::Healthy : binary::UbxHealth::Unknown;
    return s;
}

TEST(Signals, GsvStreamsOfOneCycleMergeIntoOneSatelliteWithASignalEach)
{
    ReceiverState state;
    feed(state, "$GNGSA,A,3,08,10,,,,,,,,,,,1.1,0.6,0.9,1");
    // L1 C/A (1) and L5 Q (8) of GPS, as a dual-band receiver sends them.
    feed(state, "$GPGSV,1,1,03,08,37,282,42,10,73,011,34,18,19,128,,1");
    feed(state, "$GPGSV,1,1,02,08,37,282,20,10,73,011,38,8");
    // Satellites the receiver tracks on no signal come under signal id 0.
    feed(state, "$GAGSV,1,1,01,30,05,304,,0");
    const auto sky = state.satellites();
    ASSERT_EQ(sky.size(), 4u);  // satellites, not signals

    const SatelliteInView* g8 = find(sky, Constellation::GPS, 8);
    ASSERT_NE(g8, nullptr);
    EXPECT_EQ(sigIds(*g8), (std::vector<int>{0, 7}));
    EXPECT_EQ(g8->snrDbHz, 42);  // the strongest signal
    EXPECT_TRUE(isMultiBand(*g8));
    EXPECT_TRUE(g8->signalList[0].usedInFix && g8->signalList[1].usedInFix);
    const SatelliteInView* g10 = find(sky, Constellation::GPS, 10);
    ASSERT_NE(g10, nullptr);
    EXPECT_EQ(g10->snrDbHz, 38);  // L5 stronger than L1 here
    // Listed but not tracked: a signal, not used although GSA names no signals.
    const SatelliteInView* g18 = find(sky, Constellation::GPS, 18);
    ASSERT_NE(g18, nullptr);
    ASSERT_EQ(g18->signalList.size(), 1u);
    EXPECT_FALSE(g18->signalList[0].snrDbHz.has_value());
    EXPECT_FALSE(isMultiBand(*g18));
    const SatelliteInView* e30 = find(sky, Constellation::Galileo, 30);
    ASSERT_NE(e30, nullptr);
    EXPECT_TRUE(e30->signalList.empty());
    EXPECT_EQ(state.satellitesUsed(), 2u);

    // A new L5 cycle without 08: its L5 signal goes, the satellite and its L1 stay.
    feed(state, "$GPGSV,1,1,01,10,73,011,37,8");
    const auto after = state.satellites();
    ASSERT_NE(find(after, Constellation::GPS, 8), nullptr);
    EXPECT_EQ(sigIds(*find(after, Constellation::GPS, 8)), (std::vector<int>{0}));
    EXPECT_EQ(find(after, Constellation::GPS, 10)->signalList[1].snrDbHz, 37);
}

TEST(Signals, SkyListsEverySignalButCountsSatellites)
{
    ReceiverState state;
    feed(state, "$GNGSA,A,3,08,,,,,,,,,,,,1.1,0.6,0.9,1");
    feed(state, "$GPGSV,1,1,02,08,37,282,42,44,39,174,41,1");
    feed(state, "$GPGSV,1,1,01,08,37,282,20,8");
    const auto sky = nlohmann::json::parse(gpsdreport::sky(state));
    EXPECT_EQ(sky["nSat"], 2);
    EXPECT_EQ(sky["uSat"], 1);
    ASSERT_EQ(sky["satellites"].size(), 3u);
    const auto& l1 = sky["satellites"][0];
    const auto& l5 = sky["satellites"][1];
    EXPECT_EQ(l1["PRN"], 8);
    EXPECT_FALSE(l1.contains("sigid"));  // 0, left out as gpsd does
    EXPECT_EQ(l5["sigid"], 7);
    EXPECT_EQ(l5["ss"], 20);
    EXPECT_EQ(l5["el"], 37);
    EXPECT_EQ(l5["used"], true);
    // SBAS 131 (NMEA 44) is gpsd's PRN 44.
    EXPECT_EQ(sky["satellites"][2]["gnssid"], 1);
    EXPECT_EQ(sky["satellites"][2]["svid"], 131);
    EXPECT_EQ(sky["satellites"][2]["PRN"], 44);
}

TEST(Signals, NavSigGivesTheSignalsOfNavSatsSatellites)
{
    ReceiverState state;
    binary::UbxNavSat sat;
    sat.satellites = {ubxSatellite(UbxGnss::Galileo, 4, 31, true), ubxSatellite(UbxGnss::Glonass, 5, 30, true),
                      ubxSatellite(UbxGnss::Gps, 2, 29, false)};
    state.apply(binary::UbxRecord{sat}, 1.0);
    // GSV after NAV-SAT is left alone, signal ids too.
    feed(state, "$GPGSV,1,1,01,02,24,310,29,8", 1.0);

    binary::UbxNavSig sig;
    sig.signalList = {ubxSignal(UbxGnss::Galileo, 4, 0, 25, true), ubxSignal(UbxGnss::Galileo, 4, 4, 31, true),
                      ubxSignal(UbxGnss::Glonass, 5, 0, 30, true), ubxSignal(UbxGnss::Glonass, 5, 2, 0, false),
                      ubxSignal(UbxGnss::BeiDou, 11, 0, 45, true)};  // not in NAV-SAT: not shown
    sig.signalList[2].glonassFrequency = -7;
    sig.signalList[3].glonassFrequency = -7;
    EXPECT_TRUE(state.apply(binary::UbxRecord{sig}, 1.0) & ReceiverState::kSatellites);
    EXPECT_EQ(state.apply(binary::UbxRecord{sig}, 1.5), 0u);  // nothing moved

    const auto sky = state.satellites();
    ASSERT_EQ(sky.size(), 3u);
    const SatelliteInView* e4 = find(sky, Constellation::Galileo, 4);
    ASSERT_NE(e4, nullptr);
    EXPECT_EQ(sigIds(*e4), (std::vector<int>{0, 4}));
    EXPECT_TRUE(isMultiBand(*e4));
    EXPECT_EQ(e4->signalList[1].quality, 7);
    EXPECT_EQ(e4->signalList[1].health, 1);
    const SatelliteInView* r5 = find(sky, Constellation::GLONASS, 5);
    ASSERT_NE(r5, nullptr);
    ASSERT_EQ(r5->signalList.size(), 2u);
    EXPECT_EQ(r5->signalList[1].freqId, 0);  // slot -7
    EXPECT_FALSE(r5->signalList[1].snrDbHz.has_value());
    EXPECT_FALSE(r5->signalList[1].usedInFix);
    EXPECT_TRUE(find(sky, Constellation::GPS, 2)->signalList.empty());
    EXPECT_EQ(state.satellitesUsed(), 2u);

    const auto json = nlohmann::json::parse(gpsdreport::sky(state));
    EXPECT_EQ(json["nSat"], 3);
    EXPECT_EQ(json["uSat"], 2);
    EXPECT_EQ(json["satellites"].size(), 5u);
    bool sawFreqId = false;
    for (const auto& s : json["satellites"]) {
        if (s["gnssid"] == 6 && s.value("sigid", 0) == 2) {
            EXPECT_EQ(s["freqid"], 0);
            EXPECT_FALSE(s.contains("ss"));
            EXPECT_FALSE(s.contains("health"));  // unknown for this signal
            sawFreqId = true;
        }
    }
    EXPECT_TRUE(sawFreqId);

    // A receiver that stops NAV-SIG: its signals go after the satellite lifetime.
    state.apply(binary::UbxRecord{sat}, 20.0);
    EXPECT_TRUE(state.expire(20.0) & ReceiverState::kSatellites);
    EXPECT_TRUE(find(state.satellites(), Constellation::Galileo, 4)->signalList.empty());
}

TEST(Signals, NamesBandsAndNmeaSignalIds)
{
    EXPECT_EQ(signalShortName(Constellation::GPS, 0), "L1 C/A");
    EXPECT_EQ(signalShortName(Constellation::GPS, 3), "L2C");
    EXPECT_EQ(signalShortName(Constellation::Galileo, 4), "E5a");
    EXPECT_EQ(signalShortName(Constellation::Galileo, 6), "E5b");
    EXPECT_EQ(signalShortName(Constellation::BeiDou, 7), "B2a");
    EXPECT_EQ(signalShortName(Constellation::GLONASS, 2), "L2OF");
    EXPECT_EQ(signalShortName(Constellation::GPS, 2), "");
    EXPECT_EQ(signalShortName(Constellation::GPS, -1), "");

    SatelliteInView sameBand;
    sameBand.constellation = Constellation::Galileo;
    const auto signal = [](int sigId) {
        SignalInView s;
        s.sigId = sigId;
        return s;
    };
    sameBand.signalList = {signal(3), signal(4), signal(99)};  // E5a I and Q, unknown
    EXPECT_FALSE(isMultiBand(sameBand));
    sameBand.signalList.push_back(signal(1));  // E1 B
    EXPECT_TRUE(isMultiBand(sameBand));

    EXPECT_EQ(sigIdOfNmeaSignal(Constellation::GPS, 1), 0);
    EXPECT_EQ(sigIdOfNmeaSignal(Constellation::GPS, 8), 7);
    EXPECT_EQ(sigIdOfNmeaSignal(Constellation::Galileo, 1), 3);
    EXPECT_EQ(sigIdOfNmeaSignal(Constellation::BeiDou, 3), 5);
    EXPECT_FALSE(sigIdOfNmeaSignal(Constellation::GPS, 0).has_value());
    EXPECT_FALSE(sigIdOfNmeaSignal(Constellation::GPS, 2).has_value());  // L1 P(Y)
}

TEST(Signals, GpsdPrnNumbersSbasAsGpsdDoes)
{
    EXPECT_EQ(gpsdreport::gpsdPrn(Constellation::SBAS, 120), 33);
    EXPECT_EQ(gpsdreport::gpsdPrn(Constellation::SBAS, 151), 64);
    EXPECT_EQ(gpsdreport::gpsdPrn(Constellation::SBAS, 152), 152);
    EXPECT_EQ(gpsdreport::gpsdPrn(Constellation::SBAS, 158), 158);
}

}  // namespace
