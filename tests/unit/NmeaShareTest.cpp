#include "core/NmeaShare.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string kGga = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";

// A line as the reader hands it over after the codec verified it: the "*" (or CR) replaced
// by NUL and a NUL appended.
ByteBuffer verified(const std::string& wire)
{
    ByteBuffer bytes(wire.begin(), wire.end());
    const auto star = std::find(bytes.begin(), bytes.end(), '*');
    if (star != bytes.end())
        *star = 0;
    else
        *std::find(bytes.begin(), bytes.end(), '\r') = 0;
    bytes.push_back(0);
    return bytes;
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

// Reads until count bytes came or the peer closed or the time ran out.
// `progress`, when given, follows the byte count as it grows.
std::string readSome(int fd, std::size_t count, std::chrono::milliseconds timeout = 2000ms,
                     std::atomic<std::size_t>* progress = nullptr)
{
    std::string got;
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (got.size() < count && std::chrono::steady_clock::now() < until) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        char buffer[65536];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EAGAIN) continue;  // taken back between poll and read
        if (n <= 0) break;
        got.append(buffer, static_cast<std::size_t>(n));
        if (progress) progress->store(got.size());
    }
    return got;
}

template <typename Predicate>
bool eventually(Predicate done)
{
    for (int i = 0; i < 200 && !done(); ++i) std::this_thread::sleep_for(10ms);
    return done();
}

TEST(NmeaShareTextTest, EndpointsLoopbackAndWireLines)
{
    struct Case {
        const char* text;
        bool ok;
        const char* address;
        std::uint16_t port;
    };
    for (const Case& c : std::initializer_list<Case>{
             {"10110", true, "127.0.0.1", 10110},
             {"0.0.0.0:2000", true, "0.0.0.0", 2000},
             {"[::1]:10110", true, "::1", 10110},
             {"::1:10110", false, "", 0},
             {"127.0.0.1:", false, "", 0},
             {"70000", false, "", 0},
             {"0", false, "", 0},
             {"host.example:10110", false, "", 0},
             {"12ab", false, "", 0}}) {
        SCOPED_TRACE(c.text);
        const auto parsed = NmeaShare::parseEndpoint(c.text);
        ASSERT_EQ(parsed.has_value(), c.ok);
        if (c.ok) {
            EXPECT_EQ(parsed->first, c.address);
            EXPECT_EQ(parsed->second, c.port);
        }
    }
    EXPECT_TRUE(NmeaShare::isLoopback("127.0.0.1"));
    EXPECT_TRUE(NmeaShare::isLoopback("127.8.0.1"));
    EXPECT_TRUE(NmeaShare::isLoopback("::1"));
    EXPECT_FALSE(NmeaShare::isLoopback("0.0.0.0"));
    EXPECT_FALSE(NmeaShare::isLoopback("192.168.1.2"));

    EXPECT_EQ(NmeaShare::wireLine(verified(kGga)), kGga);
    EXPECT_EQ(NmeaShare::wireLine(verified("$PSRF150,1*3E\n")), "$PSRF150,1*3E\r\n");
    EXPECT_EQ(NmeaShare::wireLine(verified("$GPZDA,201530.00,04,07,2002,00,00\r\n")),
              "$GPZDA,201530.00,04,07,2002,00,00\r\n");
}

TEST(NmeaShareTest, ClientsReadEverySentenceAndWhatTheySendIsDiscarded)
{
    std::mutex mutex;
    std::vector<std::pair<NmeaShare::Event, std::string>> events;
    NmeaShare share;
    share.setEventListener([&](NmeaShare::Event event, const std::string& peer) {
        std::lock_guard lock(mutex);
        events.emplace_back(event, peer);
    });
    NmeaShare::Options options;
    options.port = 0;
    options.maxClients = 2;
    ASSERT_TRUE(share.start(options)) << share.error();
    ASSERT_NE(share.boundPort(), 0);

    const int first = connectTo(share.boundPort());
    const int second = connectTo(share.boundPort());
    ASSERT_GE(first, 0);
    ASSERT_GE(second, 0);
    ASSERT_TRUE(eventually([&] { return share.clientCount() == 2; }));
    const int third = connectTo(share.boundPort());  // one too many: closed at once
    ASSERT_GE(third, 0);
    EXPECT_EQ(readSome(third, 1), "");
    ::close(third);

    const std::string command = "$PSRF100,0,9600,8,1,0*0C\r\n";
    ASSERT_EQ(::write(first, command.data(), command.size()), static_cast<ssize_t>(command.size()));
    for (int i = 0; i < 3; ++i) share.sentenceAccepted(verified(kGga));
    EXPECT_EQ(readSome(first, 3 * kGga.size()), kGga + kGga + kGga);
    EXPECT_EQ(readSome(second, 3 * kGga.size()), kGga + kGga + kGga);

    // A burst handed over while the share's thread is busy: the last sentence must not wait
    // for a next one to wake the thread.
    for (int i = 0; i < 5000; ++i) share.sentenceAccepted(verified(kGga));
    EXPECT_EQ(readSome(second, 5000 * kGga.size()).size(), 5000 * kGga.size());
    EXPECT_EQ(readSome(first, 5000 * kGga.size()).size(), 5000 * kGga.size());
    EXPECT_EQ(share.sentencesLost(), 0u);

    ::close(second);
    ASSERT_TRUE(eventually([&] { return share.clientCount() == 1; }));
    share.stop();
    EXPECT_EQ(readSome(first, 1), "");  // the share hung up
    ::close(first);
    std::lock_guard lock(mutex);
    std::vector<NmeaShare::Event> kinds;
    for (const auto& e : events) kinds.push_back(e.first);
    EXPECT_EQ(kinds, (std::vector{NmeaShare::Event::Connected, NmeaShare::Event::Connected,
                                  NmeaShare::Event::Refused, NmeaShare::Event::Closed}));
    EXPECT_EQ(events[0].second.rfind("127.0.0.1:", 0), 0u);
}

// One client never reads: it is dropped once its buffer is full, the others get everything
// and the feeding side never waits.
TEST(NmeaShareTest, StuckClientIsDroppedOthersGetEverything)
{
    NmeaShare share;
    NmeaShare::Options options;
    options.port = 0;
    options.clientBufferBytes = 16 * 1024;
    ASSERT_TRUE(share.start(options)) << share.error();
    const int stuck = connectTo(share.boundPort());
    const int reader = connectTo(share.boundPort());
    ASSERT_TRUE(eventually([&] { return share.clientCount() == 2; }));

    constexpr std::size_t kLines = 100000;  // ~7 MB, more than the socket buffers hold
    std::string received;
    std::atomic<std::size_t> receivedBytes{0};
    std::thread drain([&] { received = readSome(reader, kLines * kGga.size(), 60000ms, &receivedBytes); });
    const ByteBuffer line = verified(kGga);
    for (std::size_t i = 0; i < kLines; ++i) {
        share.sentenceAccepted(line);
        // A receiver's pace: the reading client is never more than a hundred lines behind,
        // however slow a loaded machine makes it, so only the stuck one falls behind.
        if (i % 100 == 99) {
            const std::size_t due = (i - 99) * kGga.size();
            for (int wait = 0; wait < 5000 && receivedBytes.load() < due; ++wait)
                std::this_thread::sleep_for(1ms);
        }
    }
    drain.join();
    EXPECT_EQ(received.size(), kLines * kGga.size());
    EXPECT_EQ(share.clientsDropped(), 1u);
    EXPECT_EQ(share.clientCount(), 1u);
    ::close(stuck);
    ::close(reader);
}

TEST(NmeaShareTest, PseudoTerminalIsLinkedAndCarriesTheSentences)
{
    const fs::path dir = fs::temp_directory_path() / ("share-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    NmeaShare share;
    NmeaShare::Options options;
    options.tcp = false;
    options.ptyLink = (dir / "nmea").string();
    ASSERT_TRUE(share.start(options)) << share.error();
    ASSERT_TRUE(fs::is_symlink(options.ptyLink));
    EXPECT_EQ(fs::read_symlink(options.ptyLink).string(), share.ptyPath());

    // Sentences sent while nobody has it open are not what a later reader wants first.
    constexpr std::size_t kStale = 40000;  // ~1 MB, more than the terminal holds
    for (std::size_t i = 0; i < kStale; ++i) {
        share.sentenceAccepted(verified("$GPTXT,01,01,02,stale*00\r\n"));
        if (i % 500 == 499) std::this_thread::sleep_for(1ms);
    }
    std::this_thread::sleep_for(100ms);
    const int fd = ::open(options.ptyLink.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    std::string old = readSome(fd, 1 << 20, 200ms);
    EXPECT_LT(old.size(), kStale * 26u / 4);
    share.sentenceAccepted(verified(kGga));
    EXPECT_EQ(readSome(fd, kGga.size()), kGga);
    ::close(fd);
    share.stop();
    EXPECT_FALSE(fs::exists(fs::symlink_status(options.ptyLink)));
    fs::remove_all(dir);
}

}  // namespace
