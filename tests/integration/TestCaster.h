// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testcaster {

// A small NTRIP caster on 127.0.0.1 (ephemeral port) for the client's tests. It speaks
// version 1 (ICY, SOURCETABLE) or 2 (HTTP/1.1, chunked) as the request asks, checks Basic
// authentication (user "rover", password "s3cret") and serves these mountpoints:
//   RTCM    the stream, then stays open and quiet
//   VRS     silent until a GGA with a good checksum arrives, then the stream (table: nmea 1)
//   ONCE    like VRS, but closes after the stream (so the client reconnects)
//   NOISE   accepts, then sends bytes that are not RTCM 3
//   HANG    reads the request and never answers
//   SILENT  accepts and sends nothing
//   CUT     sends the first frames and closes in the middle of the next one
// An unknown mountpoint gets 404 (version 2) or the source table (version 1); a request
// that is not HTTP (a TLS handshake) gets 400. Every connection ends when the caster stops.
class TestCaster {
public:
    static constexpr const char* kUser = "rover";
    static constexpr const char* kPassword = "s3cret";

    // stream: the bytes the stream mountpoints send; cutAt: where CUT stops.
    TestCaster(std::string stream, std::size_t cutAt);
    ~TestCaster();
    TestCaster(const TestCaster&) = delete;
    TestCaster& operator=(const TestCaster&) = delete;

    bool ok() const { return m_listen >= 0; }
    std::uint16_t port() const { return m_port; }
    void stop();

    struct Gga {
        std::string mountpoint;
        std::string sentence;
        std::chrono::steady_clock::time_point at;
        std::chrono::steady_clock::time_point connectedAt;
    };
    std::vector<Gga> ggas() const;
    // Requests for the mountpoint (any outcome), "" for the source table.
    int requests(const std::string& mountpoint) const;
    std::vector<std::string> heads() const;  // every request head as received

    std::string sourceTable() const;

private:
    void acceptLoop();
    void serve(int fd);
    bool sendAll(int fd, const std::string& bytes);
    // Sends the stream in pieces of varying size, chunk-coded for version 2.
    bool sendStream(int fd, const std::string& bytes, bool chunked);
    // Waits until the stop or the client's close; records GGAs meanwhile.
    void idle(int fd, const std::string& mountpoint, std::chrono::steady_clock::time_point connectedAt,
              std::string& pending);
    bool stopping() const { return m_stopping.load(); }

    std::string m_stream;
    std::size_t m_cutAt;
    int m_listen = -1;
    std::uint16_t m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::thread m_acceptor;
    mutable std::mutex m_mutex;
    std::vector<std::thread> m_handlers;
    std::vector<Gga> m_ggas;
    std::map<std::string, int> m_requests;
    std::vector<std::string> m_heads;
};

// The body of a recorded RTCM 3 log (the "#" header lines taken off), or empty.
std::string readLogBody(const std::string& path);
// True when line is "$..*hh" with the right checksum.
bool checksumOk(const std::string& line);

}  // namespace testcaster
