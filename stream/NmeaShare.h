// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "stream/LineTap.h"

// Shares every valid sentence the receiver sends with other programs: TCP clients (port
// 10110 is the registered NMEA 0183 port) and a pseudo-terminal that gpsd, a chart plotter
// or a GIS open as if it were the receiver. Clients only read; what they send is read and
// thrown away. A line is passed on only when all of it verifies: two sentences glued into
// one line, the first of which the codec checked, are not.
//
// When every place is taken, a new client takes the place of the one that has been idle
// longest (one that stopped reading first, else the one heard from least recently), so
// idle connections cannot lock everyone else out. A client that takes nothing for
// stallTimeout while sentences wait for it is dropped, however little waits.
//
// The reader thread only appends the sentence to a hand-off buffer and, when that was empty,
// wakes the share's own thread, which does all socket work with poll(). Every client has a
// bounded buffer: a client that falls that far behind is disconnected (and the listener
// told), so a stuck client never slows the reader or grows memory. The pseudo-terminal
// cannot be disconnected: when nobody reads it, what waits is thrown away instead, so a
// program that opens it later starts with current sentences.
class NmeaShare : public LineTap {
public:
    struct Options {
        bool tcp = true;
        std::string address = "127.0.0.1";  // numeric IPv4 or IPv6
        std::uint16_t port = 10110;          // 0: any free port (tests)
        std::string ptyLink;                 // empty: no pseudo-terminal
        std::size_t maxClients = 16;
        std::size_t clientBufferBytes = 64u << 10;
        std::chrono::milliseconds stallTimeout{20'000};
    };
    // Dropped: it fell behind (its buffer or its time ran out); Replaced: its place went to a
    // new client; Refused: no place at all (maxClients 0).
    enum class Event { Connected, Closed, Dropped, Replaced, Refused };
    // Called on the share's thread; peer is "address:port".
    using EventListener = std::function<void(Event, const std::string& peer)>;

    static constexpr std::size_t kMaxHandOffBytes = 1u << 20;

    NmeaShare() = default;
    ~NmeaShare() override;  // stop()
    NmeaShare(const NmeaShare&) = delete;
    NmeaShare& operator=(const NmeaShare&) = delete;

    void setEventListener(EventListener listener) { m_listener = std::move(listener); }

    // Opens the listening socket and the pseudo-terminal (with its link) and starts the
    // thread. False, with error() set, when any of it fails; nothing is left open then.
    bool start(const Options& options);
    // Disconnects every client, removes the link, joins the thread. Idempotent.
    void stop();

    bool running() const { return m_thread.joinable(); }
    std::string error() const { return m_error; }
    // Why the pseudo-terminal has no link although one was asked for (user-facing); empty
    // otherwise. The terminal itself is there, at ptyPath().
    std::string ptyLinkWarning() const { return m_ptyLinkWarning; }
    // What start() was given: the address the share listens on, and its link.
    const Options& options() const { return m_options; }
    std::uint16_t boundPort() const { return m_boundPort; }
    std::string ptyPath() const { return m_ptyPath; }  // e.g. /dev/pts/4; empty without one
    std::size_t clientCount() const { return m_clientCount.load(); }
    std::uint64_t clientsDropped() const { return m_dropped.load(); }
    // Sentences not shared because the share's thread fell a whole hand-off buffer behind.
    std::uint64_t sentencesLost() const { return m_lost.load(); }
    // Lines refused because not all of the line verified (glued sentences).
    std::uint64_t linesRefused() const { return m_refused.load(); }

    // "[ADDRESS:]PORT" ("10110", "0.0.0.0:10110", "[::1]:10110"); nothing when unusable.
    static std::optional<std::pair<std::string, std::uint16_t>> parseEndpoint(
        const std::string& text);
    static bool isLoopback(const std::string& address);
    // $XDG_RUNTIME_DIR/gpsdesk/nmea; empty when XDG_RUNTIME_DIR is unset or not absolute.
    static std::string defaultPtyLink();
    // The sentence as it went on the wire, ending in CR LF, from a line the codec verified.
    static std::string wireLine(const ByteBuffer& verified);
    // False when something follows the checksum the codec verified, other than the line end:
    // a second sentence glued on, which nobody checked.
    static bool verifiedWhole(const ByteBuffer& verified);

    void lineReceived(const ByteBuffer&) override {}
    void sentenceAccepted(const ByteBuffer& verified) override;

private:
    using Clock = std::chrono::steady_clock;
    struct Client {
        int fd = -1;
        std::string peer;
        std::string pending;
        Clock::time_point heard;         // connected, or last sent us something
        Clock::time_point waitingSince;  // pending non-empty and not taken since
    };

    void run();
    void acceptClients();
    void distribute(const std::string& text);
    void flushClient(Client& client);  // closes it (fd -1) when it is gone
    void flushPty();
    void closeAll();
    void dropStalled();
    // Makes the link in its folder, which must be the user's own; false with the reason.
    bool linkPty(const std::string& link, const std::string& target, std::string& why);

    Options m_options;
    EventListener m_listener;
    std::thread m_thread;
    std::string m_error;
    std::uint16_t m_boundPort = 0;
    std::string m_ptyPath;
    int m_listen = -1;
    int m_ptyMaster = -1;
    int m_ptySlave = -1;  // held so the terminal stays while nobody has it open
    int m_linkFolder = -1;  // the checked folder the link is in, while it exists
    std::string m_linkName;
    std::string m_ptyLinkWarning;
    int m_wakeRead = -1;
    int m_wakeWrite = -1;

    // The share's thread.
    std::vector<Client> m_clients;
    std::string m_ptyPending;

    std::mutex m_mutex;
    std::string m_handOff;
    bool m_stopping = true;  // also before the first start
    std::atomic<std::size_t> m_clientCount{0};
    std::atomic<std::uint64_t> m_dropped{0};
    std::atomic<std::uint64_t> m_lost{0};
    std::atomic<std::uint64_t> m_refused{0};
};
