// SPDX-License-Identifier: BSD-2-Clause
#include "app/CorrectionsController.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "receiver/ReceiverState.h"
#include "platform/Preferences.h"
#include "platform/SecretStore.h"
#include "sources/Rtcm3Framer.h"
#include "sources/SourceUrl.h"
#include "sources/Waker.h"

namespace {

using Clock = std::chrono::steady_clock;

// The frame's message part (between the 3-byte head and the CRC).
std::span<const std::uint8_t> messageOf(const std::vector<std::uint8_t>& frame)
{
    if (frame.size() < 6) return {};
    return std::span<const std::uint8_t>(frame).subspan(3, frame.size() - 6);
}

}  // namespace

CorrectionsController::CorrectionsController(platform::SecretStore* secrets, TimeSource now)
    : m_secrets(secrets), m_now(std::move(now))
{
}

CorrectionsController::~CorrectionsController()
{
    stop();
    joinFetch();
}

NtripSettings CorrectionsController::settingsFor(const SourceUrl& url, int ggaSeconds)
{
    std::string password;
    SourceMessage note;
    if (!url.user.empty() && !m_givenPassword.empty()) {
        password = m_givenPassword;
    } else if (!url.user.empty()) {
        if (!m_secrets) {
            note = {"corrections.password.unavailable", {"-"}};
        } else {
            const platform::SecretStore::Result found = m_secrets->read(CorrectionsSettings::secretName(url));
            switch (found.status) {
            case platform::SecretStore::Status::Stored: password = found.secret; break;
            case platform::SecretStore::Status::KeptForSession:
                password = found.secret;
                note = {"corrections.password.sessionOnly", {}};
                break;
            case platform::SecretStore::Status::NotFound:
                note = {"corrections.password.missing", {url.user, url.hostAndPort()}};
                break;
            case platform::SecretStore::Status::Unavailable:
                note = {"corrections.password.unavailable", {found.detail}};
                break;
            }
        }
    }
    {
        std::lock_guard lock(m_mutex);
        m_secretNote = std::move(note);
    }
    NtripSettings settings = NtripSettings::fromUrl(url, std::move(password));
    settings.ggaInterval = std::chrono::seconds(std::clamp(ggaSeconds, CorrectionsSettings::kMinGgaSeconds, CorrectionsSettings::kMaxGgaSeconds));
    if (m_tune) m_tune(settings);
    return settings;
}

bool CorrectionsController::start(const CorrectionsSettings& settings, SourceMessage& whyNot)
{
    stop();
    if (settings.casterUrl.empty()) return true;
    const auto url = SourceUrl::parse(settings.casterUrl, whyNot);
    if (!url) return false;
    if (url->kind != SourceUrl::Kind::Ntrip) {
        whyNot = {"corrections.notCaster", {url->toString()}};
        return false;
    }
    if (url->mountpoint.empty()) {
        whyNot = {"NtripNoMountpoint", {url->hostAndPort()}};
        return false;
    }
    {
        std::lock_guard lock(m_mutex);
        m_counts.clear();
        m_firstFrame.reset();
        m_lastFrame.reset();
        m_frames = 0;
        m_stationId.reset();
        m_base.reset();
        m_lastMessage = {};
    }
    m_caster = url->toString();
    m_client = std::make_unique<NtripClient>(
        settingsFor(*url, settings.ggaSeconds),
        [this](std::vector<std::uint8_t> frame) { frameReceived(std::move(frame)); },
        [this](const SourceMessage& said) {
            std::lock_guard lock(m_mutex);
            m_lastMessage = said;
        });
    {
        std::lock_guard lock(m_mutex);
        // A caster that needs the position gets it with the first request.
        if (m_gga) m_client->setPosition(*m_gga);
    }
    m_client->start();
    return true;
}

void CorrectionsController::stop()
{
    if (!m_client) return;
    m_client->stop();
    m_client.reset();
    m_caster.clear();
}

SourceMessage CorrectionsController::storePassword(const std::string& casterUrl, const std::string& password)
{
    SourceMessage whyNot;
    const auto url = SourceUrl::parse(casterUrl, whyNot);
    if (!url) return whyNot;
    if (url->kind != SourceUrl::Kind::Ntrip) return {"corrections.notCaster", {url->toString()}};
    if (url->user.empty()) return {"corrections.password.noUser", {}};
    if (!m_secrets) return {"corrections.password.unavailable", {"-"}};
    const std::string name = CorrectionsSettings::secretName(*url);
    const platform::SecretStore::Result result =
        password.empty() ? m_secrets->erase(name) : m_secrets->write(name, password);
    switch (result.status) {
    case platform::SecretStore::Status::Stored:
        return {password.empty() ? "corrections.password.erased" : "corrections.password.stored", {}};
    case platform::SecretStore::Status::NotFound: return {"corrections.password.erased", {}};
    case platform::SecretStore::Status::KeptForSession:
        return {password.empty() ? "corrections.password.erased" : "corrections.password.sessionOnly", {}};
    case platform::SecretStore::Status::Unavailable: break;
    }
    return {"corrections.password.unavailable", {result.detail}};
}

void CorrectionsController::observe(const ReceiverState& state)
{
    std::optional<GgaPosition> gga;
    {
        std::lock_guard lock(m_mutex);
        m_fixQuality = state.fixQuality();
        if (!state.position() || state.mode() < 2) {
            m_fix.reset();
            m_gga.reset();
        } else {
            Fix fix;
            fix.latitudeDegrees = state.position()->latitudeDegrees;
            fix.longitudeDegrees = state.position()->longitudeDegrees;
            // The base's position is on the ellipsoid; so is the height compared with it.
            if (state.altitudeEllipsoidMeters())
                fix.heightMeters = *state.altitudeEllipsoidMeters();
            else
                fix.heightMeters = static_cast<double>(state.altitudeMeters().value_or(0.0f))
                                   + static_cast<double>(state.geoidSeparationMeters().value_or(0.0f));
            m_fix = fix;

            GgaPosition position;
            position.latitudeDegrees = fix.latitudeDegrees;
            position.longitudeDegrees = fix.longitudeDegrees;
            position.altitudeMeters = state.altitudeMeters().value_or(0.0f);
            position.geoidSeparationMeters = state.geoidSeparationMeters().value_or(0.0f);
            position.quality = state.fixQuality().value_or(1);
            position.satellites = static_cast<int>(state.satellitesUsed());
            if (state.hdop()) position.hdop = *state.hdop();
            gga = position;
            m_gga = position;
        }
    }
    if (gga && m_client) m_client->setPosition(*gga);
}

void CorrectionsController::frameReceived(std::vector<std::uint8_t> frame)
{
    const std::uint16_t type = Rtcm3Framer::messageType(frame);
    const auto station = Rtcm3Framer::stationId(frame);
    std::optional<binary::Rtcm3StationPosition> base;
    if (type == 1005 || type == 1006) {
        const binary::Rtcm3Decoded decoded = binary::decodeRtcm3(messageOf(frame));
        if (decoded.record)
            if (const auto* position = std::get_if<binary::Rtcm3StationPosition>(&*decoded.record)) base = *position;
    }
    const auto now = m_now();
    {
        std::lock_guard lock(m_mutex);
        Counted& counted = m_counts[type];
        if (counted.frames++ == 0) counted.first = now;
        if (!m_firstFrame) m_firstFrame = now;
        m_lastFrame = now;
        ++m_frames;
        if (station) m_stationId = station;
        if (base) {
            m_base = base;
            m_stationId = base->station;
        }
    }
    m_queue.push(std::move(frame));
}

void CorrectionsController::receiverReport(const binary::UbxRxmRtcm& report)
{
    std::lock_guard lock(m_mutex);
    if (report.crcFailed)
        ++m_receiverBroken;
    else if (report.usage == 2)
        ++m_receiverUsed;
    else if (report.usage == 1)
        ++m_receiverNotUsed;
}

CorrectionsStatus CorrectionsController::status() const
{
    CorrectionsStatus status;
    if (m_client) {
        const NtripStatus client = m_client->status();
        status.running = true;
        status.state = client.state;
        status.ggaSent = client.ggaSent;
        status.caster = m_caster;
    }
    status.framesDropped = m_queue.framesDropped();
    const auto now = m_now();
    std::lock_guard lock(m_mutex);
    status.receiverUsed = m_receiverUsed;
    status.receiverNotUsed = m_receiverNotUsed;
    status.receiverBroken = m_receiverBroken;
    for (const auto& [type, counted] : m_counts) {
        CorrectionsStatus::MessageCount count{type, counted.frames, std::nullopt};
        // From the type's first frame: a type that starts later is not diluted by the wait.
        const double seconds = std::chrono::duration<double>(now - counted.first).count();
        if (seconds >= 1.0) count.perSecond = static_cast<double>(counted.frames) / seconds;
        status.messages.push_back(count);
    }
    status.frames = m_frames;
    if (m_lastFrame) status.ageSeconds = std::chrono::duration<double>(now - *m_lastFrame).count();
    status.stationId = m_stationId;
    status.base = m_base;
    if (m_base && m_fix)
        status.baselineMeters = baselineMeters(*m_base, m_fix->latitudeDegrees, m_fix->longitudeDegrees, m_fix->heightMeters);
    status.fixQuality = m_fixQuality;
    status.lastMessage = m_lastMessage;
    status.secretNote = m_secretNote;
    return status;
}

double CorrectionsController::baselineMeters(const binary::Rtcm3StationPosition& base, double latitudeDegrees,
                                             double longitudeDegrees, double heightMeters)
{
    // WGS 84.
    constexpr double a = 6378137.0;
    constexpr double f = 1.0 / 298.257223563;
    constexpr double e2 = f * (2.0 - f);
    const double lat = latitudeDegrees * std::numbers::pi / 180.0;
    const double lon = longitudeDegrees * std::numbers::pi / 180.0;
    const double n = a / std::sqrt(1.0 - e2 * std::sin(lat) * std::sin(lat));
    const double x = (n + heightMeters) * std::cos(lat) * std::cos(lon);
    const double y = (n + heightMeters) * std::cos(lat) * std::sin(lon);
    const double z = (n * (1.0 - e2) + heightMeters) * std::sin(lat);
    return std::hypot(x - base.ecefXM, y - base.ecefYM, z - base.ecefZM);
}

std::vector<Mountpoint> CorrectionsController::nearestFirst(const SourceTable& table,
                                                            const std::optional<std::pair<double, double>>& latLonDegrees)
{
    if (!latLonDegrees) return table.mountpoints;
    return table.sortedByDistance(latLonDegrees->first, latLonDegrees->second);
}

void CorrectionsController::requestSourceTable(const std::string& casterUrl)
{
    joinFetch();
    {
        std::lock_guard lock(m_mutex);
        m_tableAnswer.reset();
    }
    SourceMessage whyNot;
    const auto url = SourceUrl::parse(casterUrl, whyNot);
    if (!url || url->kind != SourceUrl::Kind::Ntrip) {
        std::lock_guard lock(m_mutex);
        m_tableAnswer = SourceTableAnswer{{}, url ? SourceMessage{"corrections.notCaster", {url->toString()}} : whyNot};
        return;
    }
    // The table is public at most casters; the password goes along only where one is stored.
    NtripSettings settings = settingsFor(*url, CorrectionsSettings::kDefaultGgaSeconds);
    m_fetchCancel = std::make_unique<Waker>();
    m_fetch = std::thread([this, settings = std::move(settings), cancel = m_fetchCancel.get()] {
        NtripClient::TableResult result = NtripClient::fetchSourceTable(settings, cancel);
        std::lock_guard lock(m_mutex);
        SourceTableAnswer answer;
        if (result.table) {
            std::optional<std::pair<double, double>> from;
            if (m_fix) from = std::pair(m_fix->latitudeDegrees, m_fix->longitudeDegrees);
            answer.mountpoints = nearestFirst(*result.table, from);
        } else {
            answer.error = result.error.empty() ? SourceMessage{"NtripNoSourceTable", {settings.host}} : result.error;
        }
        m_tableAnswer = std::move(answer);
    });
}

std::optional<CorrectionsController::SourceTableAnswer> CorrectionsController::takeSourceTable()
{
    std::lock_guard lock(m_mutex);
    std::optional<SourceTableAnswer> answer = std::move(m_tableAnswer);
    m_tableAnswer.reset();
    return answer;
}

void CorrectionsController::joinFetch()
{
    if (m_fetchCancel) m_fetchCancel->signal();
    if (m_fetch.joinable()) m_fetch.join();
    m_fetchCancel.reset();
}
