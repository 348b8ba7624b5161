// SPDX-License-Identifier: BSD-2-Clause
#include "sources/NtripClient.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include <unistd.h>

#include <poll.h>

#include "sources/ChunkedDecoder.h"
#include "sources/NetConnection.h"
#include "sources/NtripRequest.h"
#include "sources/NtripResponse.h"
#include "sources/Rtcm3Framer.h"
#include "sources/Waker.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A source table is a few hundred kilobytes at the largest casters.
constexpr std::size_t kMaxTableBytes = 8 * 1024 * 1024;

std::span<const std::uint8_t> bytesOf(const std::string& text)
{
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

milliseconds until(Clock::time_point deadline)
{
    return std::max(milliseconds(0), std::chrono::ceil<milliseconds>(deadline - Clock::now()));
}

std::string peerOf(const NtripSettings& s)
{
    SourceUrl url;
    url.kind = SourceUrl::Kind::Ntrip;
    url.host = s.host;
    url.port = s.port;
    return url.hostAndPort();
}

bool isSafeMountpoint(const std::string& name)
{
    return std::none_of(name.begin(), name.end(), [](char c) {
        return static_cast<unsigned char>(c) <= 0x20 || c == 0x7F || c == '/' || c == '?' || c == '#';
    });
}

// Connects, sends the request for mountpoint (empty: the table) and reads the answer's head.
// On success the connection is open and leftover holds the body bytes read with the head.
bool request(const NtripSettings& s, const std::string& mountpoint, NetConnection& connection,
             NtripResponse& response, std::vector<std::uint8_t>& leftover, SourceMessage& error)
{
    const std::string peer = peerOf(s);
    connection.setExtraTrustedCertificates(s.extraTrustedCertificates);
    if (!connection.connect(s.host, s.port, s.tls, s.connectTimeout)) {
        error = connection.message();
        return false;
    }
    NtripRequest head{s.host, s.port, mountpoint, s.user, s.password, s.version};
    if (!connection.writeAll(bytesOf(head.build()), s.answerTimeout)) {
        error = connection.message();
        return false;
    }
    const auto deadline = Clock::now() + s.answerTimeout;
    std::uint8_t buffer[4096];
    while (response.kind() == NtripResponse::Kind::Incomplete) {
        const auto result = connection.read(buffer, until(deadline));
        switch (result.status) {
        case NetConnection::ReadStatus::Data: {
            const std::size_t used = response.feed(std::span(buffer, result.count));
            leftover.assign(buffer + used, buffer + result.count);
            break;
        }
        case NetConnection::ReadStatus::Quiet:
            error = SourceMessage{"NtripNoAnswer", {peer}};
            return false;
        case NetConnection::ReadStatus::Closed:
            error = SourceMessage{"NtripClosedBeforeAnswer", {peer}};
            return false;
        case NetConnection::ReadStatus::Cancelled:
            error = SourceMessage{"NetCancelled", {peer}};
            return false;
        }
    }
    switch (response.kind()) {
    case NtripResponse::Kind::Unauthorized:
        error = s.user.empty() ? SourceMessage{"NtripNeedsCredentials", {peer}}
                               : SourceMessage{"NtripWrongCredentials", {peer, s.user}};
        return false;
    case NtripResponse::Kind::NotFound:
        error = SourceMessage{"NtripUnknownMountpoint", {peer, mountpoint}};
        return false;
    case NtripResponse::Kind::Refused:
        error = SourceMessage{"NtripRefused", {peer, response.statusLine()}};
        return false;
    case NtripResponse::Kind::NotNtrip:
        error = SourceMessage{"NtripNotCaster", {peer}};
        return false;
    case NtripResponse::Kind::Incomplete:
    case NtripResponse::Kind::Stream:
    case NtripResponse::Kind::SourceTable:
        break;
    }
    return true;
}

}  // namespace

NtripSettings NtripSettings::fromUrl(const SourceUrl& url, std::string password)
{
    NtripSettings settings;
    settings.host = url.host;
    settings.port = url.port;
    settings.tls = url.tls;
    settings.user = url.user;
    settings.mountpoint = url.mountpoint;
    settings.password = std::move(password);
    return settings;
}

std::optional<std::string> takeNtripPasswordFromEnvironment()
{
    constexpr const char* kVariable = "GPSDESK_NTRIP_PASSWORD";
    char* value = std::getenv(kVariable);
    if (!value || !*value) return std::nullopt;
    std::string password(value);
    // Out of the environment once read: no child inherits it, and "ps e", which shows the
    // environment block the process started with, shows it blanked.
    explicit_bzero(value, password.size());
    ::unsetenv(kVariable);
    return password;
}

std::optional<double> NtripStatus::ageSeconds(Clock::time_point now) const
{
    if (!lastFrameTime) return std::nullopt;
    return std::chrono::duration<double>(now - *lastFrameTime).count();
}

std::optional<double> NtripStatus::ratePerSecond(std::uint16_t messageType, Clock::time_point now) const
{
    if (!firstFrameTime) return std::nullopt;
    const double seconds = std::chrono::duration<double>(now - *firstFrameTime).count();
    if (seconds < 1.0) return std::nullopt;
    const auto found = framesByType.find(messageType);
    return (found == framesByType.end() ? 0.0 : static_cast<double>(found->second)) / seconds;
}

NtripClient::NtripClient(NtripSettings settings, FrameHandler onFrame, MessageHandler onMessage)
    : m_settings(std::move(settings)), m_onFrame(std::move(onFrame)), m_onMessage(std::move(onMessage))
{
}

NtripClient::~NtripClient()
{
    stop();
}

void NtripClient::start()
{
    if (m_thread.joinable()) return;
    {
        std::lock_guard lock(m_mutex);
        m_status = NtripStatus{};
        m_status.state = NtripStatus::State::Connecting;
    }
    m_stopping = false;
    m_waker = std::make_unique<Waker>();
    m_thread = std::thread([this] { run(); });
}

void NtripClient::stop()
{
    if (!m_thread.joinable()) return;
    m_stopping = true;
    m_waker->signal();
    m_thread.join();
    setState(NtripStatus::State::Stopped);
}

void NtripClient::setPosition(const GgaPosition& position)
{
    std::lock_guard lock(m_mutex);
    m_position = position;
}

NtripStatus NtripClient::status() const
{
    std::lock_guard lock(m_mutex);
    return m_status;
}

void NtripClient::report(SourceMessage message)
{
    {
        std::lock_guard lock(m_mutex);
        m_status.lastMessage = message;
    }
    if (m_onMessage) m_onMessage(message);
}

void NtripClient::setState(NtripStatus::State state)
{
    std::lock_guard lock(m_mutex);
    m_status.state = state;
}

bool NtripClient::waitStopping(milliseconds duration)
{
    const auto deadline = Clock::now() + duration;
    while (!m_stopping) {
        const auto left = until(deadline);
        if (left.count() == 0) return false;
        pollfd fd{m_waker->fd(), POLLIN, 0};
        ::poll(&fd, 1, static_cast<int>(std::min(left, milliseconds(100)).count()));
    }
    return true;
}

void NtripClient::run()
{
    if (m_settings.mountpoint.empty() || !isSafeMountpoint(m_settings.mountpoint)) {
        report(SourceMessage{m_settings.mountpoint.empty() ? "NtripNoMountpoint" : "NtripBadMountpoint",
                             {peerOf(m_settings)}});
        setState(NtripStatus::State::Stopped);
        return;
    }
    bool ggaRequired = m_settings.gga == NtripSettings::Gga::Always;
    if (m_settings.gga == NtripSettings::Gga::FromSourceTable) {
        // Without the table, send the position anyway: casters that do not need it ignore it.
        ggaRequired = true;
        const auto result = fetchSourceTable(m_settings, m_waker.get());
        if (result.table) {
            if (const Mountpoint* entry = result.table->find(m_settings.mountpoint))
                ggaRequired = entry->nmeaRequired;
        }
    }
    {
        std::lock_guard lock(m_mutex);
        m_status.ggaRequired = ggaRequired;
    }

    milliseconds backoff = m_settings.firstBackoff;
    while (!m_stopping) {
        const bool delivered = session();
        if (m_stopping) break;
        if (delivered) backoff = m_settings.firstBackoff;
        setState(NtripStatus::State::Waiting);
        if (waitStopping(backoff)) break;
        backoff = std::min(backoff * 2, m_settings.maxBackoff);
    }
}

bool NtripClient::sendGga(NetConnection& connection)
{
    std::optional<GgaPosition> position;
    {
        std::lock_guard lock(m_mutex);
        position = m_position;
    }
    if (!position) return false;
    const auto sentence = GgaSentence::build(*position);
    if (!sentence) return false;
    if (!connection.writeAll(bytesOf(*sentence), m_settings.answerTimeout)) return false;
    std::lock_guard lock(m_mutex);
    ++m_status.ggaSent;
    return true;
}

bool NtripClient::session()
{
    setState(NtripStatus::State::Connecting);
    const std::string peer = peerOf(m_settings);
    NetConnection connection(m_waker.get());
    NtripResponse response;
    std::vector<std::uint8_t> body;
    SourceMessage error;
    if (!request(m_settings, m_settings.mountpoint, connection, response, body, error)) {
        if (!m_stopping) report(error);
        return false;
    }
    if (response.kind() == NtripResponse::Kind::SourceTable) {
        // Version 1 casters answer a mountpoint they do not have with their table.
        report(SourceMessage{"NtripUnknownMountpoint", {peer, m_settings.mountpoint}});
        return false;
    }

    bool ggaRequired;
    {
        std::lock_guard lock(m_mutex);
        ++m_status.connections;
        m_status.state = NtripStatus::State::Streaming;
        ggaRequired = m_status.ggaRequired;
    }
    report(SourceMessage{"NtripConnected", {peer, m_settings.mountpoint}});

    const auto connectedAt = Clock::now();
    auto lastFrameAt = connectedAt;
    auto nextGga = connectedAt;
    bool waitingForPositionSaid = false;
    bool ggaSentThisSession = false;
    bool delivered = false;
    std::uint64_t skippedAtLastFrame = 0;
    ChunkedDecoder chunks;
    Rtcm3Framer framer;
    std::vector<std::uint8_t> payload;
    std::uint8_t buffer[8192];

    const auto onFrame = [&](std::span<const std::uint8_t> frame) {
        const auto now = Clock::now();
        lastFrameAt = now;
        delivered = true;
        skippedAtLastFrame = framer.bytesSkipped();
        {
            std::lock_guard lock(m_mutex);
            ++m_status.frames;
            ++m_status.framesByType[Rtcm3Framer::messageType(frame)];
            if (const auto station = Rtcm3Framer::stationId(frame)) m_status.stationId = station;
            if (!m_status.firstFrameTime) m_status.firstFrameTime = now;
            m_status.lastFrameTime = now;
        }
        if (m_onFrame) m_onFrame(std::vector<std::uint8_t>(frame.begin(), frame.end()));
    };
    // Returns false when the stream has to be given up.
    const auto take = [&](std::span<const std::uint8_t> bytes) {
        payload.clear();
        if (response.chunked()) {
            if (chunks.feed(bytes, payload) == ChunkedDecoder::State::Broken) {
                report(SourceMessage{"NtripBadChunk", {peer}});
                return false;
            }
            bytes = payload;
        }
        const auto failuresBefore = framer.crcFailures();
        framer.feed(bytes, onFrame);
        {
            std::lock_guard lock(m_mutex);
            m_status.bytesReceived += bytes.size();
            m_status.crcFailures += framer.crcFailures() - failuresBefore;
        }
        if (framer.bytesSkipped() - skippedAtLastFrame > m_settings.garbageLimitBytes) {
            report(SourceMessage{"NtripNotRtcm", {peer, m_settings.mountpoint}});
            return false;
        }
        if (response.chunked() && chunks.state() == ChunkedDecoder::State::Finished) {
            report(SourceMessage{"NtripStreamEnded", {peer, m_settings.mountpoint}});
            return false;
        }
        return true;
    };

    if (!body.empty() && !take(body)) return delivered;
    while (!m_stopping) {
        const auto now = Clock::now();
        if (ggaRequired && now >= nextGga) {
            if (sendGga(connection)) {
                // The caster's silence is counted from the first position it got.
                if (!ggaSentThisSession) lastFrameAt = now;
                ggaSentThisSession = true;
                nextGga = now + m_settings.ggaInterval;
            } else if (!connection.isOpen()) {
                report(connection.message());
                return delivered;
            } else {
                if (!waitingForPositionSaid) {
                    report(SourceMessage{"NtripWaitingForPosition", {peer, m_settings.mountpoint}});
                    waitingForPositionSaid = true;
                }
                // Look again soon: the position may come any moment.
                nextGga = now + std::min(m_settings.ggaInterval, milliseconds(500));
            }
        }
        // A mountpoint that needs the position says nothing before it has one.
        const bool silenceCounts = !ggaRequired || ggaSentThisSession;
        const auto silentUntil =
            silenceCounts ? lastFrameAt + m_settings.silenceTimeout : Clock::time_point::max();
        if (now >= silentUntil) {
            const auto seconds = std::chrono::ceil<std::chrono::seconds>(m_settings.silenceTimeout).count();
            report(SourceMessage{"NtripSilent", {peer, m_settings.mountpoint, std::to_string(seconds)}});
            return delivered;
        }
        const auto wakeAt = ggaRequired ? std::min(silentUntil, nextGga) : silentUntil;
        const auto result = connection.read(buffer, until(wakeAt));
        switch (result.status) {
        case NetConnection::ReadStatus::Data:
            if (!take(std::span(buffer, result.count))) return delivered;
            break;
        case NetConnection::ReadStatus::Quiet:
            break;
        case NetConnection::ReadStatus::Closed:
            report(SourceMessage{framer.bytesPending() > 0 ? "NtripClosedMidFrame" : "NtripClosedByCaster",
                                 {peer, m_settings.mountpoint}});
            return delivered;
        case NetConnection::ReadStatus::Cancelled:
            return delivered;
        }
    }
    return delivered;
}

NtripClient::TableResult NtripClient::fetchSourceTable(const NtripSettings& settings, const Waker* cancel)
{
    TableResult result;
    const std::string peer = peerOf(settings);
    NetConnection connection(cancel);
    NtripResponse response;
    std::vector<std::uint8_t> body;
    if (!request(settings, "", connection, response, body, result.error)) return result;

    std::string text;
    ChunkedDecoder chunks;
    std::vector<std::uint8_t> payload;
    const auto append = [&](std::span<const std::uint8_t> bytes) {
        if (response.chunked()) {
            payload.clear();
            chunks.feed(bytes, payload);
            bytes = payload;
        }
        text.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    };
    append(body);
    std::uint8_t buffer[8192];
    // The table ends with ENDSOURCETABLE, the end of the chunks or the connection.
    while (text.find("ENDSOURCETABLE") == std::string::npos && text.size() < kMaxTableBytes &&
           chunks.state() == ChunkedDecoder::State::Body) {
        const auto read = connection.read(buffer, settings.answerTimeout);
        if (read.status != NetConnection::ReadStatus::Data) break;
        append(std::span(buffer, read.count));
    }
    SourceTable table = SourceTable::parse(text);
    if (table.mountpoints.empty() && !table.complete) {
        result.error = SourceMessage{"NtripNoSourceTable", {peer}};
        return result;
    }
    result.table = std::move(table);
    return result;
}
