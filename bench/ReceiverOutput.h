// SPDX-License-Identifier: BSD-2-Clause
#pragma once
// Receiver output for the end-to-end runners: whole lines as a GPS-only receiver sends them.

#include <cstdio>
#include <string>
#include <vector>

inline std::string onTheWire(const std::string& body)
{
    unsigned sum = 0;
    for (std::size_t i = 1; i < body.size(); ++i) sum ^= static_cast<unsigned char>(body[i]);
    char trailer[8];
    std::snprintf(trailer, sizeof trailer, "*%02X\r\n", sum);
    return body + trailer;
}

// A second of receiver output: every handled type, about 75 bytes a line.
inline std::vector<std::string> secondOfOutput(int second)
{
    char utc[16];
    std::snprintf(utc, sizeof utc, "%02d%02d%02d.00", (second / 3600) % 24, (second / 60) % 60,
                  second % 60);
    const std::string t = utc;
    return {
        onTheWire("$GPGGA," + t + ",4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"),
        onTheWire("$GPRMC," + t + ",A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W"),
        onTheWire("$GPGLL,4807.038,N,01131.000,E," + t + ",A"),
        onTheWire("$GPVTG,084.4,T,081.3,M,022.4,N,041.5,K"),
        onTheWire("$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1"),
        onTheWire("$GPGSV,2,1,08,01,40,083,46,02,17,308,41,12,07,344,39,14,22,228,45"),
        onTheWire("$GPGSV,2,2,08,15,10,100,30,16,20,200,31,17,30,300,32,18,40,040,33"),
    };
}

