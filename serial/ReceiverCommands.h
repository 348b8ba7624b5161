// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/ByteBuffer.h"

class Serial;

// How much the receiver forgets when it restarts: hot keeps everything, warm drops the
// ephemeris, cold clears all it knows (time, position, almanac).
enum class RestartDepth { Hot, Warm, Cold };

// Configures a SiRF-chipset receiver over an open port: NMEA input sentences ($PSRF100,
// $PSRF103, $PSRF105) and SiRF binary frames. Lives for one connect step on the reader
// thread; never shared between threads. The bytes of every command can be checked without a
// device through the static builders.
class ReceiverCommands {
public:
    ReceiverCommands();
    ~ReceiverCommands();
    ReceiverCommands(const ReceiverCommands&) = delete;
    ReceiverCommands& operator=(const ReceiverCommands&) = delete;

    // The port is not owned; the caller keeps it open while commands are sent. portString
    // and rateString are the device path and the rate text ("4800", ...) of that port.
    void setPort(Serial* port, const std::string& portString, const std::string& rateString);

    // Writes body, then "*hh" CR LF; true when everything went out. Without a port, false.
    bool sendNMEACommand(const ByteBuffer& body);
    // Writes payload as one binary frame; true when the whole frame went out.
    bool sendCommand(const ByteBuffer& payload);

    // NMEA at the rate text, 8N1 ($PSRF100,1,<rate>,8,1,0).
    void initialize();
    // Reads up to 15 lines, stopping after the one carrying "$Version" or at the first read
    // that yields no line (about 5 s of silence at worst). The lines read come back as read
    // (line feed included), so the caller can pass them on: a 1 Hz receiver would otherwise
    // lose 15 seconds of its track at every connect.
    std::vector<ByteBuffer> waitForInitialize();
    // GGA, GLL, RMC and VTG every second, GSA and GSV every 5 seconds.
    void setNMEA();
    // Switches to SiRF binary, sets the DGPS source (SBAS or none), switches back to NMEA.
    void setWAAS(bool useSbas);
    // Development data on ($PSRF105,1).
    void setDebug();
    // Restarts the receiver ($PSRF101 navigation initialisation, see restartBody).
    void restart(RestartDepth depth);
    // Opens a port of its own on portString, sends the initialize sentence and returns the
    // banner from "Version" to the end of its line (line end included); nothing when the
    // port cannot be opened or no banner comes within 25 lines. Afterwards no port is held.
    std::optional<std::string> ident();

    // Wire formats.
    static ByteBuffer nmeaSentence(const ByteBuffer& body);  // body + "*hh\r\n"
    static ByteBuffer binaryFrame(const ByteBuffer& payload);
    static ByteBuffer initializeBody(const std::string& rateString);
    static ByteBuffer rateControlBody(int message, int periodSeconds);
    static ByteBuffer dgpsSourcePayload(bool useSbas);         // message 133
    static ByteBuffer switchToNmeaPayload(const std::string& rateString);  // message 129
    // $PSRF101 with position, clock offset and time all 0 (the receiver keeps what it has
    // stored) and 12 channels; reset configuration 1 hot, 2 warm, 4 cold.
    static ByteBuffer restartBody(RestartDepth depth);
    // Why the restart buttons cannot be used, as a message key; nothing when they can. The
    // restart sentence is SiRF's: a receiver that names other satellite systems in its
    // talkers (GN, GL, GA, GB, ...) is of another family and would ignore it or worse.
    static std::optional<std::string> restartRefusalKey(bool connected, bool otherTalkerSeen);

private:
    Serial* m_serialPort = nullptr;
    std::unique_ptr<Serial> m_ownPort;  // held only while ident() runs
    std::string m_portString;
    std::string m_rateString;
};
