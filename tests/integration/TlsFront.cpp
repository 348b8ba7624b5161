// SPDX-License-Identifier: BSD-2-Clause
#include "integration/TlsFront.h"

#include <chrono>
#include <cstdio>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

namespace testcaster {

namespace {

constexpr int kSliceMs = 50;

bool addExtension(X509* certificate, int nid, const char* value)
{
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    if (!extension) return false;
    const bool added = X509_add_ext(certificate, extension, -1) == 1;
    X509_EXTENSION_free(extension);
    return added;
}

bool sendAll(int fd, const char* data, std::size_t size, const std::atomic<bool>& stopping)
{
    while (size > 0 && !stopping) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n > 0) {
            data += n;
            size -= static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd entry{fd, POLLOUT, 0};
            ::poll(&entry, 1, kSliceMs);
            continue;
        }
        return false;
    }
    return size == 0;
}

}  // namespace

TlsFront::TlsFront(std::uint16_t backendPort, const std::filesystem::path& folder)
    : m_backendPort(backendPort), m_certificate(folder / "caster.pem")
{
    EVP_PKEY* key = EVP_EC_gen("P-256");
    X509* certificate = X509_new();
    if (!key || !certificate) return;
    X509_set_version(certificate, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(certificate), 1);
    X509_gmtime_adj(X509_getm_notBefore(certificate), -60);
    X509_gmtime_adj(X509_getm_notAfter(certificate), 3600);
    X509_set_pubkey(certificate, key);
    X509_NAME* name = X509_get_subject_name(certificate);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("127.0.0.1"), -1,
                               -1, 0);
    X509_set_issuer_name(certificate, name);
    const bool built = addExtension(certificate, NID_basic_constraints, "critical,CA:TRUE") &&
                       addExtension(certificate, NID_subject_alt_name, "IP:127.0.0.1") &&
                       X509_sign(certificate, key, EVP_sha256()) > 0;
    if (FILE* file = built ? std::fopen(m_certificate.c_str(), "w") : nullptr) {
        PEM_write_X509(file, certificate);
        std::fclose(file);
        m_context = SSL_CTX_new(TLS_server_method());
        if (m_context && (SSL_CTX_use_certificate(m_context, certificate) != 1 ||
                          SSL_CTX_use_PrivateKey(m_context, key) != 1)) {
            SSL_CTX_free(m_context);
            m_context = nullptr;
        }
    }
    X509_free(certificate);
    EVP_PKEY_free(key);
    if (!m_context) return;

    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 8) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (fd >= 0) ::close(fd);
        return;
    }
    m_listen = fd;
    m_port = ntohs(address.sin_port);
    m_acceptor = std::thread([this] { acceptLoop(); });
}

TlsFront::~TlsFront()
{
    m_stopping = true;
    if (m_acceptor.joinable()) m_acceptor.join();
    for (auto& pump : m_pumps) pump.join();
    if (m_listen >= 0) ::close(m_listen);
    if (m_context) SSL_CTX_free(m_context);
}

void TlsFront::acceptLoop()
{
    for (int accepted = 0; !m_stopping && accepted < 100;) {
        pollfd entry{m_listen, POLLIN, 0};
        if (::poll(&entry, 1, kSliceMs) <= 0) continue;
        const int client = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (client < 0) continue;
        ++accepted;
        std::lock_guard lock(m_mutex);
        m_pumps.emplace_back([this, client] {
            pump(client);
            ::close(client);
        });
    }
}

void TlsFront::pump(int client)
{
    // SSL_write to a client that left raises SIGPIPE; this thread takes it as an error instead.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
    SSL* ssl = SSL_new(m_context);
    SSL_set_fd(ssl, client);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    int accepted = 0;
    while (!m_stopping && std::chrono::steady_clock::now() < deadline) {
        accepted = SSL_accept(ssl);
        if (accepted == 1) break;
        const int error = SSL_get_error(ssl, accepted);
        if (error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE) break;
        pollfd entry{client, static_cast<short>(error == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT), 0};
        ::poll(&entry, 1, kSliceMs);
    }
    const int backend = accepted == 1 ? ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0) : -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(m_backendPort);
    if (backend >= 0 && ::connect(backend, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        ::fcntl(backend, F_SETFL, O_NONBLOCK);
        char buffer[4096];
        bool open = true;
        while (open && !m_stopping) {
            pollfd entries[2] = {{client, POLLIN, 0}, {backend, POLLIN, 0}};
            ::poll(entries, 2, SSL_pending(ssl) > 0 ? 0 : kSliceMs);
            const int fromClient = SSL_read(ssl, buffer, sizeof buffer);
            if (fromClient > 0) {
                open = sendAll(backend, buffer, static_cast<std::size_t>(fromClient), m_stopping);
            } else {
                const int error = SSL_get_error(ssl, fromClient);
                if (error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE) open = false;
            }
            const ssize_t fromBackend = ::recv(backend, buffer, sizeof buffer, 0);
            if (fromBackend == 0 || (fromBackend < 0 && errno != EAGAIN && errno != EINTR)) open = false;
            for (ssize_t done = 0; fromBackend > 0 && done < fromBackend && open && !m_stopping;) {
                const int written = SSL_write(ssl, buffer + done, static_cast<int>(fromBackend - done));
                if (written > 0) {
                    done += written;
                    continue;
                }
                const int error = SSL_get_error(ssl, written);
                if (error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE) open = false;
                pollfd entry{client, POLLOUT, 0};
                ::poll(&entry, 1, kSliceMs);
            }
        }
    }
    if (backend >= 0) ::close(backend);
    SSL_free(ssl);
}

}  // namespace testcaster
