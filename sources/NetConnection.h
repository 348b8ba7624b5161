// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "sources/SourceMessage.h"

class Waker;

// One TCP connection, plain or TLS (OpenSSL, peer certificate and host name checked against
// the system's trusted roots), with every wait bounded by a time-out and by an optional
// Waker. Driven by one thread; only the Waker is touched from others. Failures leave a
// message of the tables in message() and the errno of the failing call in lastError().
class NetConnection {
public:
    enum class ReadStatus {
        Data,       // count bytes were read
        Quiet,      // nothing within the time-out; the connection stays up
        Closed,     // the peer closed or reset the connection, or it was never open
        Cancelled,  // the Waker was signalled
    };
    struct ReadResult {
        std::size_t count = 0;
        ReadStatus status = ReadStatus::Closed;
    };

    // waker may be null; when given it must outlive the object.
    explicit NetConnection(const Waker* waker = nullptr);
    ~NetConnection();
    NetConnection(const NetConnection&) = delete;
    NetConnection& operator=(const NetConnection&) = delete;

    // Certificates (PEM file) trusted besides the system's roots, for casters with a private
    // certificate authority; empty: the system's roots only. Before connect().
    void setExtraTrustedCertificates(std::string pemFile) { m_extraTrust = std::move(pemFile); }

    // Resolves host (names may wait on the system resolver), connects within timeout and,
    // with tls, completes the TLS handshake within the same time-out.
    bool connect(const std::string& host, std::uint16_t port, bool tls,
                 std::chrono::milliseconds timeout);
    bool isOpen() const { return m_fd >= 0; }
    void close();

    ReadResult read(std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout);
    // All of bytes within timeout, or false (the connection is then closed).
    bool writeAll(std::span<const std::uint8_t> bytes, std::chrono::milliseconds timeout);

    const SourceMessage& message() const { return m_message; }
    int lastError() const { return m_lastError; }

private:
    // Waits for the socket to become readable or writable; 1 ready, 0 time-out, -1 cancelled
    // or failed.
    int waitFor(short events, std::chrono::steady_clock::time_point deadline);
    bool handshake(const std::string& host, std::chrono::steady_clock::time_point deadline);
    void fail(const char* key, std::string argument = {});

    struct Tls;
    const Waker* m_waker;
    int m_fd = -1;
    std::unique_ptr<Tls> m_tls;
    std::string m_peer;  // "host:port", for messages
    std::string m_extraTrust;
    SourceMessage m_message;
    int m_lastError = 0;
};
