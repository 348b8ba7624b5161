// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstddef>
#include <string>

#include "binary/Rtcm3.h"

#include "nmea/Constellation.h"

class ReceiverState;
class ReceiverTest;

// The receiver state as one-line JSON reports in the shape of gpsd's, so that scripts and
// tools written for gpsd's output read GPS Desk's too. Numbers are written the C way
// whatever the process locale; a value the receiver has not sent is left out, not zeroed.
namespace gpsdreport {

// {"class":"TPV","time":"2020-07-11T22:37:45.000Z","mode":3,"lat":..,"lon":..,"altMSL":..,
//  "speed":m/s,"track":degrees}. Time only once a date is known; position with a 2D or 3D
// fix; altitude with a 3D fix.
std::string tpv(const ReceiverState& state);

// {"class":"SKY","hdop":..,"vdop":..,"pdop":..,"nSat":N,"uSat":N,"satellites":[{"PRN":..,
//  "gnssid":..,"svid":..,"sigid":..,"freqid":..,"el":..,"az":..,"ss":..,"qual":..,"health":..,
//  "used":..}]}; one entry per signal where the receiver reports signals, else per satellite.
//  nSat and uSat count satellites. "ss" only for a tracked signal, "el" and "az" only where the
//  receiver gave them, "sigid" only when not 0, "freqid" (GLONASS slot + 7) where known.
std::string sky(const ReceiverState& state);

// {"class":"RTCM3","type":1005,"length":19,"station_id":..} for one RTCM 3 message, with the
// base position of 1005/1006 ("system", "refstation", "sro", "x", "y", "z" in metres ECEF,
// "h" antenna height for 1006) as gpsd writes them.
// {"class":"TEST","points":N,"cep50":..,"cep95":..,"drms2":..,"ttff2d":..,"ttff3d":..}: the
// receiver test's figures for scripts, in metres and seconds; null where there is none yet.
std::string test(const ReceiverTest& receiverTest);

std::string rtcm3(const binary::Rtcm3Decoded& message, std::size_t length);

// gpsd's PRN for a satellite: the number in the combined NMEA ranges (GLONASS 65-96,
// Galileo 301-336, BeiDou 401-463, QZSS 193-202, SBAS 120-151 as 33-64 and 152-158).
int gpsdPrn(Constellation system, int svid);

// Text as a JSON string literal, quotes included; control characters escaped.
std::string quoted(const std::string& text);

}  // namespace gpsdreport
