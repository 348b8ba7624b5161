// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

typedef struct ssl_ctx_st SSL_CTX;

namespace testcaster {

// TLS in front of a plain server on 127.0.0.1: accepts TLS on its own ephemeral port with a
// fresh self-signed certificate for 127.0.0.1 (written to certificatePath() for the client to
// trust or not), and passes bytes both ways to the backend port. Stops with the object.
class TlsFront {
public:
    TlsFront(std::uint16_t backendPort, const std::filesystem::path& folder);
    ~TlsFront();
    TlsFront(const TlsFront&) = delete;
    TlsFront& operator=(const TlsFront&) = delete;

    bool ok() const { return m_listen >= 0 && m_context; }
    std::uint16_t port() const { return m_port; }
    const std::filesystem::path& certificatePath() const { return m_certificate; }

private:
    void acceptLoop();
    void pump(int client);

    std::uint16_t m_backendPort;
    std::filesystem::path m_certificate;
    SSL_CTX* m_context = nullptr;
    int m_listen = -1;
    std::uint16_t m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::thread m_acceptor;
    std::mutex m_mutex;
    std::vector<std::thread> m_pumps;
};

}  // namespace testcaster
