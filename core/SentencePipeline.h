#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "core/ByteBuffer.h"
#include "core/ChecksumHabit.h"
#include "core/Sentences.h"

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
    };
    Kind kind = Kind::Dropped;
    // The text up to the first NUL (the checksum cut off by the codec), NUL-terminated.
    // Empty for Dropped.
    ByteBuffer line;
    const SentenceKind* sentenceKind = nullptr;  // Refused and Decoded
    std::optional<SentenceRecord> record;        // Decoded
    DecodeNote note;                             // Refused: why; Decoded: a field left out

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

    // A new connection: what was learnt of the receiver's checksum habit is forgotten.
    void reset() { m_habit.reset(); }

private:
    // A verified sentence: a maker's own is passed on undecoded, the rest decoded.
    static LineResult verified(const ByteBuffer& sentence);

    ChecksumHabit m_habit;
    LineTap* m_tap = nullptr;
};
