// SPDX-License-Identifier: BSD-2-Clause
// The share seen from the reader thread: how long handing a sentence to it takes with no
// client, and with 16 clients of which one never reads; whether the stuck client is dropped,
// what the others receive and whether memory stays flat.
//   share_runner [LINES]   (default 200,000 GGA sentences of 72 bytes, 50 a millisecond)
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <tuple>
#include <algorithm>
#include <vector>

#include "stream/NmeaShare.h"

namespace {

using Clock = std::chrono::steady_clock;

long residentKilobytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

int connectTo(std::uint16_t port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

struct Run {
    double secondsFeeding = 0;
    std::uint64_t dropped = 0;
    std::uint64_t lost = 0;
    std::size_t clientsLeft = 0;
    std::uint64_t leastReceived = 0;
    long rssBefore = 0, rssAfter = 0;
};

Run run(std::size_t lines, int readers, bool stuckClient)
{
    const std::string text = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";
    ByteBuffer sentence(text.begin(), text.end());
    sentence[sentence.size() - 5] = 0;  // as the codec leaves it: NUL over the "*"
    sentence.push_back(0);

    NmeaShare share;
    NmeaShare::Options options;
    options.port = 0;
    if (!share.start(options)) {
        std::fprintf(stderr, "share: %s\n", share.error().c_str());
        std::exit(1);
    }
    std::vector<int> fds;
    std::vector<std::thread> drains;
    std::vector<std::uint64_t> received(static_cast<std::size_t>(readers), 0);
    std::atomic<bool> done{false};
    for (int i = 0; i < readers; ++i) {
        const int fd = connectTo(share.boundPort());
        fds.push_back(fd);
        drains.emplace_back([fd, &done, &got = received[static_cast<std::size_t>(i)]] {
            char buffer[65536];
            for (;;) {
                pollfd p{fd, POLLIN, 0};
                if (::poll(&p, 1, 100) <= 0) {
                    if (done.load()) return;
                    continue;
                }
                const ssize_t n = ::read(fd, buffer, sizeof buffer);
                if (n <= 0) return;
                got += static_cast<std::uint64_t>(n);
            }
        });
    }
    const int stuck = stuckClient ? connectTo(share.boundPort()) : -1;
    while (share.clientCount() < static_cast<std::size_t>(readers + (stuckClient ? 1 : 0)))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));

    Run result;
    result.rssBefore = residentKilobytes();
    // 50 lines a millisecond: a hundred times a fast receiver, in bursts as a reader gets
    // them. Only the hand-over itself is timed.
    Clock::duration feeding{};
    for (std::size_t i = 0; i < lines; ++i) {
        const auto before = Clock::now();
        share.sentenceAccepted(sentence);
        feeding += Clock::now() - before;
        if (i % 50 == 49) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    result.secondsFeeding = std::chrono::duration<double>(feeding).count();
    result.lost = share.sentencesLost();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    result.rssAfter = residentKilobytes();
    result.dropped = share.clientsDropped();
    result.clientsLeft = share.clientCount();
    done.store(true);
    share.stop();
    for (auto& drain : drains) drain.join();
    for (const int fd : fds) ::close(fd);
    if (stuck >= 0) ::close(stuck);
    result.leastReceived = received.empty() ? 0 : received[0];
    for (const auto got : received) result.leastReceived = std::min(result.leastReceived, got);
    result.leastReceived /= text.size();
    return result;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::size_t lines = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 200'000;
    for (const auto& [name, readers, stuck] :
         {std::tuple{"no client", 0, false}, std::tuple{"16 clients, 1 stuck", 15, true}}) {
        const Run r = run(lines, readers, stuck);
        std::printf("%-20s %zu lines, %.0f ns per hand-over; not shared %llu; "
                    "dropped %llu, left %zu, each reader got >= %llu lines; RSS %ld -> %ld kB\n",
                    name, lines, r.secondsFeeding * 1e9 / static_cast<double>(lines),
                    static_cast<unsigned long long>(r.lost), static_cast<unsigned long long>(r.dropped),
                    r.clientsLeft, static_cast<unsigned long long>(r.leastReceived), r.rssBefore,
                    r.rssAfter);
    }
    return 0;
}
