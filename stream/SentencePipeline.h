// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "binary/Rtcm3.h"
#include "binary/StreamFramer.h"
#include "binary/UbxRecords.h"

#include "base/ByteBuffer.h"
#include "nmea/ChecksumHabit.h"
#include "nmea/Sentences.h"

class LineTap;
struct SentenceKind;

// What one line from the receiver turned out to be.
struct LineResult {
    enum class Kind : std::uint8_t {
        Dropped,      // not a sentence (wrong start character) or its checksum failed
        Broken,       // no "*hh" on a connection that sends them: cut short on the way
        Proprietary,  // a maker's own sentence ($P...): passed on, not decoded
        Unknown,      // a sentence of a type the table does not know
        Ignored,      // a type the table knows and leaves alone ($GPTXT, ...)
        Refused,      // a known type its decoder refused (note says why)
        Decoded,      // record holds the typed sentence
        Ubx,          // a UBX frame whose checksum held; ubx holds its record when decoded
        Rtcm3,        // an RTCM 3 frame whose CRC held (corrections on their way to a receiver)
    };
    Kind kind = Kind::Dropped;
    // The text up to the first NUL (the checksum cut off by the codec), NUL-terminated.
    // Empty for Dropped.
    ByteBuffer line;
    const SentenceKind* sentenceKind = nullptr;  // Refused and Decoded
    std::optional<SentenceRecord> record;        // Decoded
    DecodeNote note;                             // Refused: why; Decoded: a field left out
    std::optional<binary::UbxRecord> ubx;        // Ubx: the decoded message; nothing when the
                                                 // message is unknown, ignored or refused
    std::uint8_t ubxClass = 0;                   // Ubx: the message's class and id, and its
    std::uint8_t ubxId = 0;                      // payload (answers no decoder keeps, such as
    std::vector<std::uint8_t> ubxPayload;        // a configuration read-back, need it)
    std::string description;                     // Ubx, Rtcm3: one line for the monitor
    std::uint16_t rtcmMessage = 0;               // Rtcm3: the message number
    std::size_t frameLength = 0;                 // Ubx, Rtcm3: the message's length in bytes
    std::optional<binary::Rtcm3Decoded> rtcm;    // Rtcm3: what the message says

    // A sentence that reached the receiver model's door: the lamp and the monitor count it.
    bool verified() const { return kind >= Kind::Unknown; }
};

// The one road of a line from the port to a typed record: start character, checksum habit,
// checksum, maker's sentences, split, table lookup and decode. The window's reader, headless,
// the receiver test, the render tool and the benchmarks all go through it, so a line means the
// same everywhere. One per connection (the checksum habit is the connection's); not
// thread-safe.
class SentencePipeline {
public:
    // The tap, when set, sees every line as read and every line whose checksum held (the
    // recorder and the share); not owned, must outlive the pipeline.
    explicit SentencePipeline(LineTap* tap = nullptr) : m_tap(tap) {}

    // One line as read from the port: its bytes up to and with the line feed, no NUL.
    LineResult take(ByteBuffer raw);
    // A text line of a log or a test, line end optional: checksum (a line without one is
    // taken as it is: a log has no connection whose habit could be learnt), maker's sentences,
    // decode. No tap sees it.
    static LineResult decodeText(std::string_view text);
    // A sentence already known to be whole and checksum-verified, NUL-terminated.
    static LineResult decodeVerified(const ByteBuffer& sentence);

    // Bytes as read, in chunks of any size: cut into NMEA lines and UBX and RTCM 3 frames, each
    // appended to `out` in order of arrival. A frame split across chunks waits for its rest.
    void feed(std::span<const std::uint8_t> bytes, std::vector<LineResult>& out);
    // The line went quiet: what is held back waiting for more (a cut line, a false binary
    // header) is given out now.
    void drain(std::vector<LineResult>& out);
    // Frames of each kind and bytes skipped so far on this connection.
    const binary::StreamFramer::Counts& frameCounts() const { return m_framer.counts(); }

    // A new connection: what was learnt of the receiver's checksum habit is forgotten.
    void reset()
    {
        m_habit.reset();
        m_framer = binary::StreamFramer(kLineLimit);
    }

    // NMEA allows 82 characters; 255 leaves room for long proprietary sentences.
    static constexpr std::size_t kLineLimit = 256;

private:
    // A verified sentence: a maker's own is passed on undecoded, the rest decoded.
    static LineResult verified(ByteBuffer sentence);
    static LineResult decodeOwned(ByteBuffer sentence);

    void takeFrames(std::vector<LineResult>& out);

    ChecksumHabit m_habit;
    LineTap* m_tap = nullptr;
    binary::StreamFramer m_framer{kLineLimit};
    binary::Frame m_frame;
};
