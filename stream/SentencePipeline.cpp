// SPDX-License-Identifier: BSD-2-Clause
#include "stream/SentencePipeline.h"

#include <algorithm>
#include <utility>

#include "binary/Frame.h"
#include "binary/UbxMessages.h"
#include "stream/LineTap.h"
#include "nmea/NMEA.h"
#include "nmea/SentenceFields.h"
#include "nmea/SentenceTable.h"

namespace {

// The bytes up to the first NUL, with one NUL after them.
ByteBuffer untilNul(ByteBuffer bytes)
{
    const auto nul = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
    bytes.erase(nul, bytes.end());
    bytes.push_back(0);
    return bytes;
}

}  // namespace

LineResult SentencePipeline::take(ByteBuffer raw)
{
    if (m_tap) m_tap->lineReceived(raw);
    LineResult result;
    if (raw.empty() || (raw[0] != '$' && raw[0] != '!')) return result;
    raw.push_back(0);
    const auto nul = std::find(raw.begin(), raw.end(), std::uint8_t{0});
    const bool checksummed = std::find(raw.begin(), nul, std::uint8_t{'*'}) != nul;
    if (checksummed) m_habit.checksummed();
    if (!checksummed && !m_habit.acceptsPlainLine()) {
        // A line without a checksum from a receiver that sends them (or not yet known not to)
        // was cut short on the way.
        result.kind = LineResult::Kind::Broken;
        const auto end =
            std::find_if(raw.begin(), nul, [](std::uint8_t c) { return c == '\r' || c == '\n'; });
        result.line.assign(raw.begin(), end);
        result.line.push_back(0);
        result.note = DecodeNote{DecodeProblem::TooFewFields, 0};
        return result;
    }
    if (!NMEA::checkSumValid(raw)) return result;
    if (m_tap) m_tap->sentenceAccepted(raw);
    LineResult decoded = verified(std::move(raw));
    // Only a checksum vouches for a sentence shorter than its full form.
    if (!checksummed && decoded.kind == LineResult::Kind::Decoded) {
        const auto fields = SentenceFields::split(decoded.line);
        if (fields && plainLineCutShort(*fields)) {
            decoded.kind = LineResult::Kind::Refused;
            decoded.record.reset();
            decoded.note = DecodeNote{DecodeProblem::TooFewFields, 0};
        }
    }
    return decoded;
}

LineResult SentencePipeline::decodeText(std::string_view text)
{
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.remove_suffix(1);
    ByteBuffer raw(text.begin(), text.end());
    raw.push_back('\r');
    raw.push_back(0);
    if (!NMEA::checkSumValid(raw)) return LineResult{};
    return verified(std::move(raw));
}

LineResult SentencePipeline::verified(ByteBuffer sentence)
{
    if (sentence.size() > 1 && sentence[1] == 'P') {
        LineResult result;
        result.kind = LineResult::Kind::Proprietary;
        result.line = untilNul(std::move(sentence));
        return result;
    }
    return decodeOwned(std::move(sentence));
}

LineResult SentencePipeline::decodeVerified(const ByteBuffer& sentence)
{
    return decodeOwned(sentence);
}

// The sentence's bytes become the result's line (cut after its NUL), not a copy of them.
LineResult SentencePipeline::decodeOwned(ByteBuffer sentence)
{
    LineResult result;
    result.line = untilNul(std::move(sentence));
    const std::optional<SentenceFields> fields = SentenceFields::split(result.line);
    result.sentenceKind = fields ? sentenceKind(fields->type()) : nullptr;
    if (!result.sentenceKind || !result.sentenceKind->decode) {
        result.kind = result.sentenceKind ? LineResult::Kind::Ignored : LineResult::Kind::Unknown;
        return result;
    }
    Decoded decoded = result.sentenceKind->decode(*fields);
    result.note = decoded.note;
    result.record = std::move(decoded.record);
    result.kind = result.record ? LineResult::Kind::Decoded : LineResult::Kind::Refused;
    return result;
}

void SentencePipeline::feed(std::span<const std::uint8_t> bytes, std::vector<LineResult>& out)
{
    m_framer.feed(bytes);
    takeFrames(out);
}

void SentencePipeline::drain(std::vector<LineResult>& out)
{
    m_framer.drain();
    takeFrames(out);
}

void SentencePipeline::takeFrames(std::vector<LineResult>& out)
{
    while (m_framer.next(m_frame)) {
        if (m_frame.kind == binary::FrameKind::Nmea) {
            out.push_back(take(std::move(m_frame.bytes)));  // the framer fills a fresh one next
            continue;
        }
        if (m_tap) m_tap->lineReceived(m_frame.bytes);
        LineResult result;
        result.description = binary::describeFrame(m_frame);
        result.frameLength = m_frame.payload().size();
        if (m_frame.kind == binary::FrameKind::Ubx) {
            result.kind = LineResult::Kind::Ubx;
            result.ubxClass = m_frame.ubxClass;
            result.ubxId = m_frame.ubxId;
            const auto payload = m_frame.payload();
            result.ubxPayload.assign(payload.begin(), payload.end());
            binary::UbxDecoded decoded = binary::decodeUbx(m_frame.ubxClass, m_frame.ubxId, m_frame.payload());
            result.ubx = std::move(decoded.record);
        } else {
            result.kind = LineResult::Kind::Rtcm3;
            result.rtcmMessage = m_frame.rtcmMessage;
            result.rtcm = binary::decodeRtcm3(m_frame.payload());
        }
        out.push_back(std::move(result));
    }
}
