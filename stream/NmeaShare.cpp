// SPDX-License-Identifier: BSD-2-Clause
#include "base/Numbers.h"
#include "stream/NmeaShare.h"
#include "stream/PrivateLink.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "platform/Alert.h"

namespace {

void closeIfOpen(int& fd)
{
    if (fd >= 0) ::close(fd);
    fd = -1;
}

std::string peerName(const sockaddr_storage& address)
{
    char host[INET6_ADDRSTRLEN] = "?";
    unsigned port = 0;
    if (address.ss_family == AF_INET) {
        const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
        ::inet_ntop(AF_INET, &v4.sin_addr, host, sizeof host);
        port = ntohs(v4.sin_port);
    } else if (address.ss_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
        ::inet_ntop(AF_INET6, &v6.sin6_addr, host, sizeof host);
        port = ntohs(v6.sin6_port);
    }
    return std::string(host) + ":" + std::to_string(port);
}

std::string errnoText(const std::string& what)
{
    return what + ": " + std::strerror(errno);
}

}  // namespace

NmeaShare::~NmeaShare()
{
    stop();
}

std::optional<std::pair<std::string, std::uint16_t>> NmeaShare::parseEndpoint(
    const std::string& text)
{
    std::string address = "127.0.0.1";
    std::string port = text;
    if (!text.empty() && text.front() == '[') {
        const std::size_t close = text.find("]:");
        if (close == std::string::npos) return std::nullopt;
        address = text.substr(1, close - 1);
        port = text.substr(close + 2);
    } else if (const std::size_t colon = text.rfind(':'); colon != std::string::npos) {
        address = text.substr(0, colon);
        port = text.substr(colon + 1);
        if (address.find(':') != std::string::npos) return std::nullopt;  // IPv6 needs [ ]
    }
    if (port.empty() || port.size() > 5 || address.empty()) return std::nullopt;
    const auto value = digitsValue<unsigned>(port);
    if (!value || *value == 0 || *value > 65535) return std::nullopt;
    in6_addr probe;
    if (::inet_pton(AF_INET, address.c_str(), &probe) != 1
        && ::inet_pton(AF_INET6, address.c_str(), &probe) != 1)
        return std::nullopt;
    return std::make_pair(address, static_cast<std::uint16_t>(*value));
}

bool NmeaShare::isLoopback(const std::string& address)
{
    in_addr v4;
    if (::inet_pton(AF_INET, address.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6;
    if (::inet_pton(AF_INET6, address.c_str(), &v6) == 1) return IN6_IS_ADDR_LOOPBACK(&v6);
    return false;
}

std::string NmeaShare::defaultPtyLink()
{
    // A relative path is no runtime folder at all, as the desktop's base-directory rules say.
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || runtime[0] != '/') return {};
    return std::string(runtime) + "/gpsdesk/nmea";
}

std::string NmeaShare::wireLine(const ByteBuffer& verified)
{
    // The codec marked the end of the data with a NUL over the "*" (checksum follows) or
    // over the CR; the reader's own NUL ends the buffer.
    std::size_t size = verified.size();
    if (size > 0 && verified[size - 1] == 0) --size;
    std::string line(verified.begin(), verified.begin() + static_cast<long>(size));
    const std::size_t mark = line.find('\0');
    if (mark != std::string::npos) {
        const auto hex = [&](std::size_t i) {
            return i < line.size() && std::isxdigit(static_cast<unsigned char>(line[i]));
        };
        line[mark] = hex(mark + 1) && hex(mark + 2) ? '*' : '\r';
    }
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    return line + "\r\n";
}

bool NmeaShare::verifiedWhole(const ByteBuffer& verified)
{
    // After the codec's mark: up to two checksum digits (none on a line without one), then
    // nothing but the line end.
    std::size_t size = verified.size();
    if (size > 0 && verified[size - 1] == 0) --size;
    const auto begin = verified.begin();
    const auto mark = std::find(begin, begin + static_cast<long>(size), std::uint8_t{0});
    if (mark == begin + static_cast<long>(size)) return true;
    auto tail = mark + 1;
    for (int digits = 0; digits < 2 && tail != begin + static_cast<long>(size)
                         && std::isxdigit(static_cast<unsigned char>(*tail));
         ++digits)
        ++tail;
    return std::all_of(tail, begin + static_cast<long>(size),
                       [](std::uint8_t c) { return c == '\r' || c == '\n'; });
}

bool NmeaShare::linkPty(const std::string& link, const std::string& target, std::string& why)
{
    std::string name;
    const int folderFd = PrivateLink::make(link, target, name, why);
    if (folderFd < 0) return false;
    m_linkFolder = folderFd;
    m_linkName = name;
    return true;
}

bool NmeaShare::start(const Options& options)
{
    stop();
    m_options = options;
    m_error.clear();
    m_ptyLinkWarning.clear();
    const auto fail = [this](const std::string& reason) {
        m_error = reason;
        closeAll();
        return false;
    };

    int wake[2];
    if (::pipe2(wake, O_NONBLOCK | O_CLOEXEC) != 0) return fail(errnoText("pipe"));
    m_wakeRead = wake[0];
    m_wakeWrite = wake[1];

    if (options.tcp) {
        addrinfo hints{};
        hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV | AI_PASSIVE;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        const std::string service = std::to_string(options.port);
        if (const int rc = ::getaddrinfo(options.address.c_str(), service.c_str(), &hints, &found);
            rc != 0)
            return fail(options.address + ": " + ::gai_strerror(rc));
        m_listen = ::socket(found->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        const int yes = 1;
        const bool bound =
            m_listen >= 0
            && ::setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) == 0
            && ::bind(m_listen, found->ai_addr, found->ai_addrlen) == 0
            && ::listen(m_listen, 16) == 0;
        ::freeaddrinfo(found);
        if (!bound) return fail(errnoText(options.address + " port " + service));
        sockaddr_storage local{};
        socklen_t length = sizeof local;
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&local), &length);
        m_boundPort = local.ss_family == AF_INET6
                          ? ntohs(reinterpret_cast<sockaddr_in6&>(local).sin6_port)
                          : ntohs(reinterpret_cast<sockaddr_in&>(local).sin_port);
    }

    if (!options.ptyLink.empty()) {
        m_ptyMaster = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
        if (m_ptyMaster < 0 || ::grantpt(m_ptyMaster) != 0 || ::unlockpt(m_ptyMaster) != 0)
            return fail(errnoText("pseudo-terminal"));
        char name[128];
        if (::ptsname_r(m_ptyMaster, name, sizeof name) != 0) return fail(errnoText("ptsname"));
        m_ptySlave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
        if (m_ptySlave < 0) return fail(errnoText(name));
        // Raw, so the sentences arrive as sent (no CR/NL translation, no echo back to us).
        termios settings;
        if (::tcgetattr(m_ptySlave, &settings) == 0) {
            ::cfmakeraw(&settings);
            ::tcsetattr(m_ptySlave, TCSANOW, &settings);
        }
        m_ptyPath = name;
        // Without a safe place for the link the terminal is still shared, by its own name.
        std::string why;
        if (!linkPty(options.ptyLink, name, why))
            m_ptyLinkWarning = Alert::localizedStringWithKey("SharePtyNotLinked", {name, why});
    }

    {
        std::lock_guard lock(m_mutex);
        m_handOff.clear();
        m_stopping = false;
    }
    m_thread = std::thread(&NmeaShare::run, this);
    return true;
}

void NmeaShare::stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        if (m_wakeWrite >= 0) {
            const char byte = 1;
            (void)!::write(m_wakeWrite, &byte, 1);
        }
    }
    if (m_thread.joinable()) m_thread.join();
    closeAll();
}

void NmeaShare::closeAll()
{
    for (Client& client : m_clients) closeIfOpen(client.fd);
    m_clients.clear();
    m_clientCount.store(0);
    m_ptyPending.clear();
    closeIfOpen(m_listen);
    if (m_linkFolder >= 0) {
        // Only our own link: another instance may have taken the name since.
        char target[128];
        const ssize_t n = ::readlinkat(m_linkFolder, m_linkName.c_str(), target, sizeof target - 1);
        if (n > 0 && std::string(target, static_cast<std::size_t>(n)) == m_ptyPath)
            ::unlinkat(m_linkFolder, m_linkName.c_str(), 0);
    }
    closeIfOpen(m_linkFolder);
    closeIfOpen(m_ptySlave);
    closeIfOpen(m_ptyMaster);
    m_ptyPath.clear();
    closeIfOpen(m_wakeRead);
    closeIfOpen(m_wakeWrite);
    m_boundPort = 0;
}

void NmeaShare::sentenceAccepted(const ByteBuffer& verified)
{
    // The share may be started and stopped on the main thread while the reader streams:
    // the state, and the wake-up pipe with it, is only touched under the lock.
    if (!verifiedWhole(verified)) {
        m_refused.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    std::lock_guard lock(m_mutex);
    if (m_stopping) return;
    const std::string line = wireLine(verified);
    if (m_handOff.size() + line.size() > kMaxHandOffBytes) {
        m_lost.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    const bool wasEmpty = m_handOff.empty();
    m_handOff += line;
    if (wasEmpty) {
        const char byte = 1;
        (void)!::write(m_wakeWrite, &byte, 1);
    }
}

void NmeaShare::run()
{
    std::vector<pollfd> fds;
    for (;;) {
        fds.clear();
        fds.push_back({m_wakeRead, POLLIN, 0});
        fds.push_back({m_listen, POLLIN, 0});  // -1 is ignored by poll
        const short ptyEvents = static_cast<short>(POLLIN | (m_ptyPending.empty() ? 0 : POLLOUT));
        fds.push_back({m_ptyMaster, ptyEvents, 0});
        for (const Client& client : m_clients)
            fds.push_back({client.fd,
                           static_cast<short>(POLLIN | (client.pending.empty() ? 0 : POLLOUT)), 0});
        // A client with sentences waiting is looked at again when its time would run out.
        int timeoutMs = -1;
        for (const Client& client : m_clients) {
            if (client.pending.empty()) continue;
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                client.waitingSince + m_options.stallTimeout - Clock::now());
            const int wait = static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(left.count(), 0, 60'000));
            timeoutMs = timeoutMs < 0 ? wait : std::min(timeoutMs, wait);
        }
        if (::poll(fds.data(), fds.size(), timeoutMs) < 0 && errno != EINTR) break;

        // Drain the wake-ups before taking the hand-off: a sentence handed over after the
        // take then leaves its wake-up for the next poll instead of losing it.
        if (fds[0].revents & POLLIN) {
            char drain[256];
            while (::read(m_wakeRead, drain, sizeof drain) > 0) {
            }
        }
        std::string incoming;
        {
            std::lock_guard lock(m_mutex);
            if (m_stopping) break;
            incoming.swap(m_handOff);
        }
        // Whatever a client or the terminal's user sends is not for us.
        for (std::size_t i = 2; i < fds.size(); ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char discard[512];
            const ssize_t n = ::read(fds[i].fd, discard, sizeof discard);
            if (i < 3) continue;
            Client& client = m_clients[i - 3];
            if (n > 0) client.heard = Clock::now();
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
                closeIfOpen(client.fd);
                if (m_listener) m_listener(Event::Closed, client.peer);
            }
        }
        std::erase_if(m_clients, [](const Client& c) { return c.fd < 0; });
        if (fds[1].revents & POLLIN) acceptClients();
        if (!incoming.empty()) distribute(incoming);
        for (Client& client : m_clients)
            if (!client.pending.empty()) flushClient(client);
        dropStalled();
        std::erase_if(m_clients, [](const Client& c) { return c.fd < 0; });
        m_clientCount.store(m_clients.size());
        if (!m_ptyPending.empty()) flushPty();
    }
}

void NmeaShare::acceptClients()
{
    for (;;) {
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        const int fd = ::accept4(m_listen, reinterpret_cast<sockaddr*>(&address), &length,
                                 SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) return;
        const std::string peer = peerName(address);
        std::erase_if(m_clients, [](const Client& c) { return c.fd < 0; });
        if (m_options.maxClients == 0) {
            ::close(fd);
            if (m_listener) m_listener(Event::Refused, peer);
            continue;
        }
        if (m_clients.size() >= m_options.maxClients) {
            // The place of the idlest: one with sentences waiting longest, else the one
            // heard from least recently (connecting counts).
            const auto idlest = std::min_element(
                m_clients.begin(), m_clients.end(), [](const Client& a, const Client& b) {
                    if (a.pending.empty() != b.pending.empty()) return !a.pending.empty();
                    if (!a.pending.empty()) return a.waitingSince < b.waitingSince;
                    return a.heard < b.heard;
                });
            ::close(idlest->fd);
            if (m_listener) m_listener(Event::Replaced, idlest->peer);
            m_clients.erase(idlest);
        }
        m_clients.push_back({fd, peer, {}, Clock::now(), {}});
        m_clientCount.store(m_clients.size());
        if (m_listener) m_listener(Event::Connected, peer);
    }
}

void NmeaShare::distribute(const std::string& text)
{
    // A client falls behind when what it has not taken yet, after it was offered the new
    // text, does not fit its buffer.
    for (Client& client : m_clients) {
        if (client.fd < 0) continue;
        if (client.pending.empty()) client.waitingSince = Clock::now();
        client.pending += text;
        flushClient(client);
        if (client.fd >= 0 && client.pending.size() > m_options.clientBufferBytes) {
            closeIfOpen(client.fd);
            client.pending.clear();
            m_dropped.fetch_add(1);
            if (m_listener) m_listener(Event::Dropped, client.peer);
        }
    }
    if (m_ptyMaster < 0) return;
    m_ptyPending += text;
    flushPty();
    if (m_ptyPending.size() > m_options.clientBufferBytes) {
        // Nobody reads the terminal: start afresh, in our buffer and in the terminal's.
        m_ptyPending.clear();
        ::tcflush(m_ptySlave, TCIFLUSH);
    }
}

void NmeaShare::flushClient(Client& client)
{
    while (client.fd >= 0 && !client.pending.empty()) {
        const ssize_t n = ::send(client.fd, client.pending.data(), client.pending.size(),
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            client.pending.erase(0, static_cast<std::size_t>(n));
            client.waitingSince = Clock::now();
            // A burst may have grown the buffer; an idle client keeps no more than it needs.
            if (client.pending.empty() && client.pending.capacity() > m_options.clientBufferBytes)
                std::string().swap(client.pending);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        closeIfOpen(client.fd);
        if (m_listener) m_listener(Event::Closed, client.peer);
        return;
    }
}

void NmeaShare::dropStalled()
{
    const auto now = Clock::now();
    for (Client& client : m_clients) {
        if (client.fd < 0 || client.pending.empty()) continue;
        if (now - client.waitingSince < m_options.stallTimeout) continue;
        closeIfOpen(client.fd);
        client.pending.clear();
        m_dropped.fetch_add(1);
        if (m_listener) m_listener(Event::Dropped, client.peer);
    }
}

void NmeaShare::flushPty()
{
    while (!m_ptyPending.empty()) {
        const ssize_t n = ::write(m_ptyMaster, m_ptyPending.data(), m_ptyPending.size());
        if (n > 0) {
            m_ptyPending.erase(0, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        return;  // full (nobody reads) or gone: kept until the next sentence decides
    }
}
