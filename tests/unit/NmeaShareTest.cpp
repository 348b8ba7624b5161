// SPDX-License-Identifier: BSD-2-Clause
#include "stream/NmeaShare.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "fakes/TempDir.h"
#include "platform/Services.h"
#include "posix/StringsBundle.h"

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
                                  NmeaShare::Event::Closed}));
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
    TempDir runtime;  // mode 0700, the user's own, as a runtime folder is
    const fs::path dir = runtime.path() / "gpsdesk";
    NmeaShare share;
    NmeaShare::Options options;
    options.tcp = false;
    options.ptyLink = (dir / "nmea").string();
    ASSERT_TRUE(share.start(options)) << share.error();
    EXPECT_EQ(share.ptyLinkWarning(), "");
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
}

// The link goes only into a folder that is the user's own, closed to others and no link, in
// a runtime folder of the same kind; otherwise the terminal is shared without a link, and
// the reason is given. Nothing is created where the planted link points.
TEST(NmeaShareTest, PseudoTerminalIsLinkedOnlyInAFolderOfTheUsersOwn)
{
    struct Case {
        const char* name;
        std::function<void(const fs::path& runtime, const fs::path& elsewhere)> stage;
        const char* why;
    };
    const Case cases[] = {
        {"folder is a planted link",
         [](const fs::path& runtime, const fs::path& elsewhere) {
             fs::create_directory_symlink(elsewhere, runtime / "gpsdesk");
         },
         "symbolic link"},
        {"folder open to everyone",
         [](const fs::path& runtime, const fs::path&) {
             fs::create_directory(runtime / "gpsdesk");
             ::chmod((runtime / "gpsdesk").c_str(), 0777);
         },
         "0777"},
        {"runtime folder open to others",
         [](const fs::path& runtime, const fs::path&) { ::chmod(runtime.c_str(), 0755); },
         "0755"},
    };
    platform::posix::StringsBundle english{fs::path(GPSDESK_SOURCE_DIR) / "resources",
                                           std::vector<std::string>{"en"}};
    const platform::Services saved = platform::services();
    platform::services().bundle = &english;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir runtime, elsewhere;
        c.stage(runtime.path(), elsewhere.path());
        NmeaShare share;
        NmeaShare::Options options;
        options.tcp = false;
        options.ptyLink = (runtime.path() / "gpsdesk" / "nmea").string();
        ASSERT_TRUE(share.start(options)) << share.error();
        EXPECT_FALSE(share.ptyPath().empty());
        EXPECT_NE(share.ptyLinkWarning().find(c.why), std::string::npos) << share.ptyLinkWarning();
        EXPECT_FALSE(fs::exists(fs::symlink_status(elsewhere.path() / "nmea")));
        EXPECT_FALSE(fs::is_symlink(options.ptyLink));
        ::chmod(runtime.path().c_str(), 0700);
    }
    platform::services() = saved;

    // A relative runtime folder is no runtime folder.
    const char* before = std::getenv("XDG_RUNTIME_DIR");
    const std::string kept = before ? before : "";
    ::setenv("XDG_RUNTIME_DIR", "run/user", 1);
    EXPECT_EQ(NmeaShare::defaultPtyLink(), "");
    ::setenv("XDG_RUNTIME_DIR", "/run/user/1000", 1);
    EXPECT_EQ(NmeaShare::defaultPtyLink(), "/run/user/1000/gpsdesk/nmea");
    if (before)
        ::setenv("XDG_RUNTIME_DIR", kept.c_str(), 1);
    else
        ::unsetenv("XDG_RUNTIME_DIR");
}

// Two sentences glued into one line (a real receiver's output, 875 times in the shared
// logs): the codec checked the first; the second was never checked and is not passed on.
TEST(NmeaShareTest, OnlyWhollyVerifiedLinesAreShared)
{
    const std::string glued =
        "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n";
    struct Case {
        const char* name;
        std::string wire;
        bool shared;
    };
    const Case cases[] = {
        {"whole sentence", kGga, true},
        {"glued sentences", glued, false},
        {"junk after the checksum", "$GPGLL,4916.45,N,12311.12,W,225444,A*31junk\r\n", false},
        {"no checksum", "$GPGLL,4916.45,N,12311.12,W,225444,A\r\n", true},
        {"LF only", "$GPGLL,4916.45,N,12311.12,W,225444,A*31\n", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(NmeaShare::verifiedWhole(verified(c.wire)), c.shared);
    }

    NmeaShare share;
    NmeaShare::Options options;
    options.port = 0;
    ASSERT_TRUE(share.start(options)) << share.error();
    const int client = connectTo(share.boundPort());
    ASSERT_TRUE(eventually([&] { return share.clientCount() == 1; }));
    share.sentenceAccepted(verified(glued));
    share.sentenceAccepted(verified(kGga));
    EXPECT_EQ(readSome(client, kGga.size() + 1, 500ms), kGga);
    EXPECT_EQ(share.linesRefused(), 1u);
    ::close(client);
}

// Idle connections in every place do not lock a later client out: it takes the place of the
// idlest. A client that takes nothing is dropped on time, not only once its buffer is full.
TEST(NmeaShareTest, IdleClientsMakeRoomAndStalledOnesAreDroppedOnTime)
{
    NmeaShare share;
    std::vector<std::pair<NmeaShare::Event, std::string>> events;
    std::mutex eventsLock;
    share.setEventListener([&](NmeaShare::Event event, const std::string& peer) {
        std::lock_guard lock(eventsLock);
        events.emplace_back(event, peer);
    });
    NmeaShare::Options options;
    options.port = 0;
    options.maxClients = 2;
    options.clientBufferBytes = 64u << 20;  // never the reason here
    options.stallTimeout = 300ms;
    ASSERT_TRUE(share.start(options)) << share.error();
    const int oldest = connectTo(share.boundPort());
    ASSERT_TRUE(eventually([&] { return share.clientCount() == 1; }));
    const int second = connectTo(share.boundPort());
    ASSERT_TRUE(eventually([&] { return share.clientCount() == 2; }));
    const int third = connectTo(share.boundPort());
    ASSERT_TRUE(eventually([&] {
        std::lock_guard lock(eventsLock);
        return events.size() >= 4;
    }));
    share.sentenceAccepted(verified(kGga));
    EXPECT_EQ(readSome(third, kGga.size()), kGga) << "the newest client is served";
    EXPECT_EQ(readSome(second, kGga.size()), kGga);
    EXPECT_EQ(readSome(oldest, 1, 500ms), "") << "the oldest idle one made room";
    {
        std::lock_guard lock(eventsLock);
        EXPECT_EQ(std::count_if(events.begin(), events.end(),
                                [](const auto& e) { return e.first == NmeaShare::Event::Replaced; }),
                  1);
    }
    ::close(oldest);

    // The second reads on, the third stops reading: once its socket is full and sentences
    // wait, it has the stall time to take one, then goes.
    std::atomic<bool> reading{true};
    std::thread reader([&] {
        while (reading.load()) readSome(second, 1 << 20, 50ms);
    });
    const ByteBuffer line = verified(kGga);
    const auto until = std::chrono::steady_clock::now() + 20s;
    while (share.clientsDropped() == 0 && std::chrono::steady_clock::now() < until) {
        for (int i = 0; i < 1000; ++i) share.sentenceAccepted(line);
        std::this_thread::sleep_for(5ms);
    }
    reading.store(false);
    reader.join();
    EXPECT_EQ(share.clientsDropped(), 1u);
    EXPECT_TRUE(eventually([&] { return share.clientCount() == 1; }));
    ::close(second);
    ::close(third);
    // The share's thread tells the listener until it stops: stop it before the events go.
    share.stop();
}

}  // namespace
