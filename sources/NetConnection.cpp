// SPDX-License-Identifier: BSD-2-Clause
#include "sources/NetConnection.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <type_traits>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include "sources/Waker.h"

namespace {

using Clock = std::chrono::steady_clock;

// OpenSSL writes to the socket with write(), so a peer that went away would raise SIGPIPE
// and end the program. Blocks it on this thread for the call and swallows one raised by it.
class SigpipeGuard {
public:
    SigpipeGuard()
    {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &set, &m_old);
        sigset_t pending;
        sigpending(&pending);
        m_pendingBefore = sigismember(&pending, SIGPIPE) == 1;
    }
    ~SigpipeGuard()
    {
        if (!m_pendingBefore) {
            sigset_t pending;
            sigpending(&pending);
            if (sigismember(&pending, SIGPIPE) == 1) {
                sigset_t set;
                sigemptyset(&set);
                sigaddset(&set, SIGPIPE);
                const timespec zero{};
                while (sigtimedwait(&set, nullptr, &zero) < 0 && errno == EINTR) {
                }
            }
        }
        pthread_sigmask(SIG_SETMASK, &m_old, nullptr);
    }
    SigpipeGuard(const SigpipeGuard&) = delete;
    SigpipeGuard& operator=(const SigpipeGuard&) = delete;

private:
    sigset_t m_old;
    bool m_pendingBefore = false;
};

std::string errnoText(int error)
{
    char buffer[256];
    // The GNU strerror_r returns the text; the XSI one fills the buffer.
    auto result = strerror_r(error, buffer, sizeof buffer);
    if constexpr (std::is_same_v<decltype(result), char*>)
        return result;
    else
        return result == 0 ? buffer : "error " + std::to_string(error);
}

}  // namespace

struct NetConnection::Tls {
    SSL_CTX* context = nullptr;
    SSL* ssl = nullptr;
    ~Tls()
    {
        if (ssl) SSL_free(ssl);
        if (context) SSL_CTX_free(context);
    }
};

NetConnection::NetConnection(const Waker* waker) : m_waker(waker) {}

NetConnection::~NetConnection()
{
    close();
}

void NetConnection::close()
{
    m_tls.reset();
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

void NetConnection::fail(const char* key, std::string argument)
{
    m_message = SourceMessage{key, {m_peer}};
    if (!argument.empty()) m_message.arguments.push_back(std::move(argument));
}

int NetConnection::waitFor(short events, Clock::time_point deadline)
{
    for (;;) {
        if (m_waker && m_waker->signalled()) {
            m_lastError = ECANCELED;
            return -1;
        }
        const auto now = Clock::now();
        if (now >= deadline) return 0;
        auto slice = std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
        pollfd fds[2] = {{m_fd, events, 0}, {m_waker ? m_waker->fd() : -1, POLLIN, 0}};
        // Without a wake pipe a signal is only seen between slices.
        if (fds[1].fd < 0) slice = std::min(slice, std::chrono::milliseconds(100));
        const int ready = ::poll(fds, 2, static_cast<int>(slice.count()));
        if (ready < 0) {
            if (errno == EINTR) continue;
            m_lastError = errno;
            return -1;
        }
        if (fds[1].revents != 0) {
            m_lastError = ECANCELED;
            return -1;
        }
        if (fds[0].revents != 0) return 1;
    }
}

bool NetConnection::connect(const std::string& host, std::uint16_t port, bool tls,
                            std::chrono::milliseconds timeout)
{
    close();
    m_message = {};
    m_lastError = 0;
    m_peer = (host.find(':') != std::string::npos ? "[" + host + "]" : host) + ":" +
             std::to_string(port);
    const auto deadline = Clock::now() + timeout;

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    const int resolved = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &list);
    if (resolved != 0) {
        fail("NetUnknownHost", host);
        return false;
    }
    const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> addresses(list, ::freeaddrinfo);

    int lastError = 0;
    bool timedOut = false;
    for (const addrinfo* address = list; address && m_fd < 0; address = address->ai_next) {
        const int fd = ::socket(address->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC,
                                address->ai_protocol);
        if (fd < 0) {
            lastError = errno;
            continue;
        }
        if (::connect(fd, address->ai_addr, address->ai_addrlen) == 0) {
            m_fd = fd;
            break;
        }
        if (errno != EINPROGRESS) {
            lastError = errno;
            ::close(fd);
            continue;
        }
        m_fd = fd;
        const int ready = waitFor(POLLOUT, deadline);
        int socketError = 0;
        socklen_t length = sizeof socketError;
        if (ready == 1 && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &socketError, &length) == 0 &&
            socketError == 0)
            break;
        close();
        if (ready == 0) {
            timedOut = true;
            break;
        }
        if (ready < 0 && m_lastError == ECANCELED) {
            fail("NetCancelled");
            return false;
        }
        lastError = ready == 1 ? socketError : m_lastError;
    }
    if (m_fd < 0) {
        if (timedOut) {
            m_lastError = ETIMEDOUT;
            fail("NetConnectTimeout");
        } else {
            m_lastError = lastError;
            if (lastError == ECONNREFUSED)
                fail("NetConnectionRefused");
            else if (lastError == EHOSTUNREACH || lastError == ENETUNREACH)
                fail("NetUnreachable");
            else
                fail("NetConnectFailed", errnoText(lastError));
        }
        return false;
    }
    // GGA sentences and commands are small; they should not wait for more to send.
    const int one = 1;
    ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (tls && !handshake(host, deadline)) {
        close();
        return false;
    }
    return true;
}

bool NetConnection::handshake(const std::string& host, Clock::time_point deadline)
{
    m_tls = std::make_unique<Tls>();
    m_tls->context = SSL_CTX_new(TLS_client_method());
    if (!m_tls->context) {
        fail("NetTlsFailed", "no TLS context");
        return false;
    }
    SSL_CTX_set_min_proto_version(m_tls->context, TLS1_2_VERSION);
    SSL_CTX_set_default_verify_paths(m_tls->context);
    if (!m_extraTrust.empty() &&
        SSL_CTX_load_verify_locations(m_tls->context, m_extraTrust.c_str(), nullptr) != 1) {
        fail("NetTlsTrustFile", m_extraTrust);
        return false;
    }
    SSL_CTX_set_verify(m_tls->context, SSL_VERIFY_PEER, nullptr);
    m_tls->ssl = SSL_new(m_tls->context);
    if (!m_tls->ssl || SSL_set_fd(m_tls->ssl, m_fd) != 1) {
        fail("NetTlsFailed", "no TLS session");
        return false;
    }
    in6_addr scratch;
    const bool literal = ::inet_pton(AF_INET, host.c_str(), &scratch) == 1 ||
                         ::inet_pton(AF_INET6, host.c_str(), &scratch) == 1;
    if (literal) {
        X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(m_tls->ssl), host.c_str());
    } else {
        SSL_set_tlsext_host_name(m_tls->ssl, host.c_str());
        SSL_set1_host(m_tls->ssl, host.c_str());
    }
    SSL_set_mode(m_tls->ssl, SSL_MODE_ENABLE_PARTIAL_WRITE);

    ERR_clear_error();
    for (;;) {
        int result;
        {
            SigpipeGuard guard;
            result = SSL_connect(m_tls->ssl);
        }
        if (result == 1) return true;
        const int error = SSL_get_error(m_tls->ssl, result);
        if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) {
            const int ready = waitFor(error == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT, deadline);
            if (ready == 1) continue;
            if (ready == 0) {
                m_lastError = ETIMEDOUT;
                fail("NetTlsNoAnswer");
            } else {
                fail("NetCancelled");
            }
            return false;
        }
        const long verified = SSL_get_verify_result(m_tls->ssl);
        if (verified != X509_V_OK) {
            fail("NetTlsCertificate", X509_verify_cert_error_string(verified));
            return false;
        }
        const unsigned long code = ERR_peek_last_error();
        const char* reason = code ? ERR_reason_error_string(code) : nullptr;
        fail("NetTlsFailed", reason ? reason : "the connection was closed");
        return false;
    }
}

NetConnection::ReadResult NetConnection::read(std::span<std::uint8_t> buffer,
                                              std::chrono::milliseconds timeout)
{
    if (m_fd < 0) return {0, ReadStatus::Closed};
    if (m_waker && m_waker->signalled()) return {0, ReadStatus::Cancelled};
    if (buffer.empty()) return {0, ReadStatus::Quiet};
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        short waitEvents = POLLIN;
        if (m_tls) {
            ERR_clear_error();
            const int count = SSL_read(m_tls->ssl, buffer.data(),
                                       static_cast<int>(std::min<std::size_t>(buffer.size(), 1 << 30)));
            if (count > 0) return {static_cast<std::size_t>(count), ReadStatus::Data};
            const int error = SSL_get_error(m_tls->ssl, count);
            if (error == SSL_ERROR_WANT_WRITE) {
                waitEvents = POLLOUT;
            } else if (error != SSL_ERROR_WANT_READ) {
                m_lastError = errno;
                fail(error == SSL_ERROR_ZERO_RETURN ? "NetClosedByPeer" : "NetConnectionReset");
                close();
                return {0, ReadStatus::Closed};
            }
        } else {
            const ssize_t count = ::recv(m_fd, buffer.data(), buffer.size(), 0);
            if (count > 0) return {static_cast<std::size_t>(count), ReadStatus::Data};
            if (count == 0) {
                fail("NetClosedByPeer");
                close();
                return {0, ReadStatus::Closed};
            }
            if (errno == EINTR) continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                m_lastError = errno;
                fail("NetConnectionReset");
                close();
                return {0, ReadStatus::Closed};
            }
        }
        const int ready = waitFor(waitEvents, deadline);
        if (ready == 0) return {0, ReadStatus::Quiet};
        if (ready < 0) {
            if (m_lastError == ECANCELED) return {0, ReadStatus::Cancelled};
            fail("NetConnectionReset");
            close();
            return {0, ReadStatus::Closed};
        }
    }
}

bool NetConnection::writeAll(std::span<const std::uint8_t> bytes, std::chrono::milliseconds timeout)
{
    if (m_fd < 0) return false;
    const auto deadline = Clock::now() + timeout;
    while (!bytes.empty()) {
        short waitEvents = POLLOUT;
        if (m_tls) {
            ERR_clear_error();
            int count;
            {
                SigpipeGuard guard;
                count = SSL_write(m_tls->ssl, bytes.data(),
                                  static_cast<int>(std::min<std::size_t>(bytes.size(), 1 << 30)));
            }
            if (count > 0) {
                bytes = bytes.subspan(static_cast<std::size_t>(count));
                continue;
            }
            const int error = SSL_get_error(m_tls->ssl, count);
            if (error == SSL_ERROR_WANT_READ) {
                waitEvents = POLLIN;
            } else if (error != SSL_ERROR_WANT_WRITE) {
                m_lastError = errno;
                fail("NetConnectionReset");
                close();
                return false;
            }
        } else {
            const ssize_t count = ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (count > 0) {
                bytes = bytes.subspan(static_cast<std::size_t>(count));
                continue;
            }
            if (count < 0 && errno == EINTR) continue;
            if (count == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
                m_lastError = count == 0 ? EPIPE : errno;
                fail("NetConnectionReset");
                close();
                return false;
            }
        }
        const int ready = waitFor(waitEvents, deadline);
        if (ready != 1) {
            if (ready == 0) {
                m_lastError = ETIMEDOUT;
                fail("NetWriteTimeout");
            } else if (m_lastError == ECANCELED) {
                fail("NetCancelled");
            } else {
                fail("NetConnectionReset");
            }
            close();
            return false;
        }
    }
    return true;
}
