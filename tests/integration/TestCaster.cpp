// SPDX-License-Identifier: BSD-2-Clause
#include "integration/TestCaster.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iterator>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testcaster {

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kSliceMs = 50;
constexpr int kMaxConnections = 200;

// Written here rather than taken from the client, so a wrong encoder cannot agree with itself.
std::string base64(const std::string& in)
{
    static const char* table = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    int value = 0;
    int bits = -6;
    for (const unsigned char c : in) {
        value = (value << 8) + c;
        bits += 8;
        while (bits >= 0) {
            out.push_back(table[(value >> bits) & 0x3F]);
            bits -= 6;
        }
    }
    if (bits > -6) out.push_back(table[((value << 8) >> (bits + 8)) & 0x3F]);
    while (out.size() % 4) out.push_back('=');
    return out;
}

const char* const kMountpoints[] = {"RTCM", "VRS", "ONCE", "NOISE", "HANG", "SILENT", "CUT"};

}  // namespace

bool checksumOk(const std::string& line)
{
    const auto star = line.rfind('*');
    if (line.empty() || line[0] != '$' || star == std::string::npos || star + 3 > line.size()) return false;
    unsigned sum = 0;
    for (std::size_t i = 1; i < star; ++i) sum ^= static_cast<unsigned char>(line[i]);
    unsigned stated = 0;
    return std::sscanf(line.c_str() + star + 1, "%2X", &stated) == 1 && stated == sum;
}

std::string readLogBody(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::string data((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::size_t at = 0;
    while (at < data.size() && data[at] == '#') {
        const auto end = data.find('\n', at);
        if (end == std::string::npos) return {};
        at = end + 1;
    }
    return data.substr(at);
}

TestCaster::TestCaster(std::string stream, std::size_t cutAt) : m_stream(std::move(stream)), m_cutAt(cutAt)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 16) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        return;
    }
    m_listen = fd;
    m_port = ntohs(address.sin_port);
    m_acceptor = std::thread([this] { acceptLoop(); });
}

TestCaster::~TestCaster()
{
    stop();
}

void TestCaster::stop()
{
    m_stopping = true;
    if (m_acceptor.joinable()) m_acceptor.join();
    std::vector<std::thread> handlers;
    {
        std::lock_guard lock(m_mutex);
        handlers.swap(m_handlers);
    }
    for (auto& handler : handlers) handler.join();
    if (m_listen >= 0) ::close(m_listen);
    m_listen = -1;
}

std::vector<TestCaster::Gga> TestCaster::ggas() const
{
    std::lock_guard lock(m_mutex);
    return m_ggas;
}

int TestCaster::requests(const std::string& mountpoint) const
{
    std::lock_guard lock(m_mutex);
    const auto found = m_requests.find(mountpoint);
    return found == m_requests.end() ? 0 : found->second;
}

std::vector<std::string> TestCaster::heads() const
{
    std::lock_guard lock(m_mutex);
    return m_heads;
}

std::string TestCaster::sourceTable() const
{
    const std::string port = std::to_string(m_port);
    return "STR;RTCM;Bend;RTCM 3.2;1077(1),1087(1),1097(1),1127(1),1230(10);2;GPS+GLO+GAL+BDS;TEST;USA;"
           "44.06;-121.31;0;0;recorded;none;B;N;9600;one station\r\n"
           "STR;VRS;Network;RTCM 3.2;1077(1);2;GPS;TEST;USA;48.12;11.58;1;1;recorded;none;B;N;9600;\r\n"
           "STR;ONCE;Network;RTCM 3.2;1077(1);2;GPS;TEST;USA;48.13;11.57;1;1;recorded;none;B;N;9600;\r\n"
           "STR;NOISE;Noise;RTCM 3.2;;0;GPS;TEST;USA;0.00;0.00;0;0;none;none;B;N;0;\r\n"
           "STR;HANG;Hang;RTCM 3.2;;0;GPS;TEST;USA;-33.87;151.21;0;0;none;none;B;N;0;\r\n"
           "STR;SILENT;Silent;RTCM 3.2;;0;GPS;TEST;USA;51.48;0.00;0;0;none;none;B;N;0;\r\n"
           "STR;CUT;\"Cut;short\";RTCM 3.2;;0;GPS;TEST;USA;40.71;-74.01;0;0;none;none;B;N;0;\r\n"
           "CAS;127.0.0.1;" + port + ";Test;Tests;0;DEU;48.12;11.58;;0;\r\n"
           "NET;TEST;Tests;B;N;;;;\r\n"
           "ENDSOURCETABLE\r\n";
}

void TestCaster::acceptLoop()
{
    int accepted = 0;
    while (!stopping()) {
        pollfd entry{m_listen, POLLIN, 0};
        if (::poll(&entry, 1, kSliceMs) <= 0) continue;
        const int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        if (++accepted > kMaxConnections) {
            ::close(fd);
            continue;
        }
        std::lock_guard lock(m_mutex);
        m_handlers.emplace_back([this, fd] {
            serve(fd);
            ::close(fd);
        });
    }
}

bool TestCaster::sendAll(int fd, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        if (stopping()) return false;
        pollfd entry{fd, POLLOUT, 0};
        if (::poll(&entry, 1, kSliceMs) <= 0) continue;
        const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool TestCaster::sendStream(int fd, const std::string& bytes, bool chunked)
{
    std::size_t at = 0;
    for (unsigned i = 1; at < bytes.size(); ++i) {
        // Pieces of 1 to 977 bytes, so frames are cut at every kind of place.
        const std::size_t size = std::min<std::size_t>(bytes.size() - at, (i * 7919u) % 977u + 1);
        std::string piece = bytes.substr(at, size);
        if (chunked) {
            char line[16];
            std::snprintf(line, sizeof line, "%zX\r\n", size);
            piece = line + piece + "\r\n";
        }
        if (!sendAll(fd, piece)) return false;
        at += size;
    }
    return true;
}

void TestCaster::idle(int fd, const std::string& mountpoint, Clock::time_point connectedAt, std::string& pending)
{
    for (;;) {
        std::size_t end;
        while ((end = pending.find('\n')) != std::string::npos) {
            std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.size() > 6 && line.compare(3, 4, "GGA,") == 0 && checksumOk(line)) {
                std::lock_guard lock(m_mutex);
                m_ggas.push_back({mountpoint, line, Clock::now(), connectedAt});
            }
        }
        if (stopping()) return;
        pollfd entry{fd, POLLIN, 0};
        if (::poll(&entry, 1, kSliceMs) <= 0) continue;
        char buffer[1024];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) return;
        pending.append(buffer, static_cast<std::size_t>(n));
    }
}

void TestCaster::serve(int fd)
{
    const auto connectedAt = Clock::now();
    std::string head;
    while (head.find("\r\n\r\n") == std::string::npos) {
        if (stopping() || Clock::now() - connectedAt > std::chrono::seconds(3)) return;
        if (head.size() >= 4 && head.compare(0, 4, "GET ") != 0) {
            sendAll(fd, "HTTP/1.0 400 Bad Request\r\n\r\n");
            return;
        }
        pollfd entry{fd, POLLIN, 0};
        if (::poll(&entry, 1, kSliceMs) <= 0) continue;
        char buffer[1024];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) return;
        head.append(buffer, static_cast<std::size_t>(n));
    }
    std::string pending = head.substr(head.find("\r\n\r\n") + 4);
    head.resize(head.find("\r\n\r\n") + 4);

    const auto pathEnd = head.find(' ', 4);
    const std::string mountpoint = head.substr(5, pathEnd - 5);
    const bool v2 = head.find("\r\nNtrip-Version: Ntrip/2.0\r\n") != std::string::npos;
    {
        std::lock_guard lock(m_mutex);
        ++m_requests[mountpoint];
        m_heads.push_back(head);
    }

    const std::string table = sourceTable();
    if (mountpoint.empty() ||
        (!v2 && std::find(std::begin(kMountpoints), std::end(kMountpoints), mountpoint) == std::end(kMountpoints))) {
        if (v2) {
            std::string chunked;
            for (std::size_t at = 0; at < table.size(); at += 100) {
                const std::string piece = table.substr(at, 100);
                char line[16];
                std::snprintf(line, sizeof line, "%zx\r\n", piece.size());
                chunked += line + piece + "\r\n";
            }
            sendAll(fd, "HTTP/1.1 200 OK\r\nNtrip-Version: Ntrip/2.0\r\nContent-Type: gnss/sourcetable\r\n"
                        "Transfer-Encoding: chunked\r\nConnection: close\r\n\r\n" + chunked + "0\r\n\r\n");
        } else {
            sendAll(fd, "SOURCETABLE 200 OK\r\nServer: TestCaster/1.0\r\nContent-Type: text/plain\r\n"
                        "Content-Length: " + std::to_string(table.size()) + "\r\n\r\n" + table);
        }
        return;
    }
    if (std::find(std::begin(kMountpoints), std::end(kMountpoints), mountpoint) == std::end(kMountpoints)) {
        sendAll(fd, "HTTP/1.1 404 Not Found\r\nNtrip-Version: Ntrip/2.0\r\nContent-Length: 0\r\n\r\n");
        return;
    }
    const std::string credentials = "\r\nAuthorization: Basic " + base64(std::string(kUser) + ":" + kPassword) + "\r\n";
    if (head.find(credentials) == std::string::npos) {
        sendAll(fd, v2 ? "HTTP/1.1 401 Unauthorized\r\nNtrip-Version: Ntrip/2.0\r\n"
                         "WWW-Authenticate: Basic realm=\"/" + mountpoint + "\"\r\nContent-Length: 0\r\n\r\n"
                       : "HTTP/1.0 401 Unauthorized\r\n\r\n");
        return;
    }
    if (mountpoint == "HANG") {
        idle(fd, mountpoint, connectedAt, pending);
        return;
    }
    if (!sendAll(fd, v2 ? "HTTP/1.1 200 OK\r\nNtrip-Version: Ntrip/2.0\r\nContent-Type: gnss/data\r\n"
                          "Transfer-Encoding: chunked\r\n\r\n"
                        : "ICY 200 OK\r\n"))
        return;

    if (mountpoint == "NOISE") {
        std::string noise(65536, '\0');
        std::uint32_t state = 12345;
        for (char& c : noise) {
            state = state * 1103515245u + 12345u;
            c = static_cast<char>(state >> 24);
        }
        sendStream(fd, noise, v2);
    } else if (mountpoint == "CUT") {
        sendStream(fd, m_stream.substr(0, m_cutAt), v2);
        return;
    } else if (mountpoint == "VRS" || mountpoint == "ONCE") {
        // Nothing until the client says where it is.
        const auto before = ggas().size();
        std::string lines = pending;
        pending.clear();
        for (;;) {
            std::size_t count;
            {
                std::lock_guard lock(m_mutex);
                count = static_cast<std::size_t>(std::count_if(m_ggas.begin() + static_cast<std::ptrdiff_t>(before),
                                                                m_ggas.end(), [&](const Gga& g) {
                                                                    return g.connectedAt == connectedAt;
                                                                }));
            }
            if (count > 0) break;
            if (stopping()) return;
            // Reads one slice and records what arrived.
            pollfd entry{fd, POLLIN, 0};
            if (::poll(&entry, 1, kSliceMs) > 0) {
                char buffer[1024];
                const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
                if (n <= 0) return;
                lines.append(buffer, static_cast<std::size_t>(n));
            }
            std::size_t end;
            while ((end = lines.find('\n')) != std::string::npos) {
                std::string line = lines.substr(0, end);
                lines.erase(0, end + 1);
                if (!line.empty() && line.back() == '\r') line.pop_back();
                if (line.size() > 6 && line.compare(3, 4, "GGA,") == 0 && checksumOk(line)) {
                    std::lock_guard lock(m_mutex);
                    m_ggas.push_back({mountpoint, line, Clock::now(), connectedAt});
                }
            }
        }
        pending = lines;
        if (!sendStream(fd, m_stream, v2)) return;
        if (mountpoint == "ONCE") {
            if (v2) sendAll(fd, "0\r\n\r\n");
            return;
        }
    } else if (mountpoint == "RTCM") {
        if (!sendStream(fd, m_stream, v2)) return;
    }
    idle(fd, mountpoint, connectedAt, pending);
}

}  // namespace testcaster
