// SPDX-License-Identifier: BSD-2-Clause
#include "stream/SourceLink.h"

#include <chrono>

#include "sources/ByteSource.h"

namespace {

constexpr std::size_t kReadChunk = 16384;

}  // namespace

SourceLink::SourceLink(std::unique_ptr<ByteSource> source) : m_owned(std::move(source)), m_source(*m_owned) {}

SourceLink::~SourceLink() = default;

ReaderLink::Read SourceLink::read(ByteBuffer& bytes, double waitSeconds)
{
    if (m_aheadStatus != Read::Quiet) {
        // What a wait found comes first.
        const Read status = m_aheadStatus;
        bytes = std::move(m_ahead);
        m_ahead.clear();
        m_aheadStatus = Read::Quiet;
        return status;
    }
    bytes.resize(kReadChunk);
    const auto wait = std::chrono::milliseconds(static_cast<long long>(waitSeconds * 1000.0));
    const ByteSource::ReadResult got = m_source.read(bytes, wait);
    bytes.resize(got.status == ByteSource::ReadStatus::Data ? got.count : 0);
    m_read += bytes.size();
    switch (got.status) {
    case ByteSource::ReadStatus::Data: return Read::Data;
    case ByteSource::ReadStatus::Quiet: return Read::Quiet;
    case ByteSource::ReadStatus::HungUp: return Read::HungUp;
    case ByteSource::ReadStatus::Cancelled: return Read::Closed;
    }
    return Read::Closed;
}

bool SourceLink::write(const std::vector<std::uint8_t>& bytes)
{
    return m_source.write(bytes);
}

std::string SourceLink::refusal() const
{
    return m_source.message().text();
}

bool SourceLink::waitForInput(double seconds)
{
    if (m_aheadStatus != Read::Quiet) return true;
    ByteBuffer bytes;
    const Read got = read(bytes, seconds);
    if (got == Read::Quiet) return false;
    m_ahead = std::move(bytes);
    m_aheadStatus = got;
    return true;
}

void SourceLink::cancel()
{
    m_source.cancel();
}

void SourceLink::close()
{
    m_source.close();
}
