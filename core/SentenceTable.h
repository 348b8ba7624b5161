#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "core/ReceiverState.h"
#include "core/SentenceFields.h"
#include "core/Sentences.h"

// The one list of sentence types the program understands: each type's decoder, and the
// receiver state's fold for its record. The reader, the tests and the fuzz targets all go
// through it; a type not listed here is shown as unknown.
struct SentenceKind {
    std::string_view type;  // "GGA"
    // Fields of the type's full form, address included. A sentence with a checksum is taken
    // with fewer (older receivers leave fields off); one without could be cut short on the way
    // and is only taken whole.
    std::uint32_t fullFields;
    Decoded (*decode)(const SentenceFields& fields);
    ReceiverState::Changes (*fold)(ReceiverState& state, const SentenceRecord& record, double nowSeconds);
};

std::span<const SentenceKind> sentenceTable();
// The entry for a type, or nullptr.
const SentenceKind* sentenceKind(std::string_view type);
// A line that came without a checksum and is shorter than its type's full form: it may have
// been cut short on the way, so it is not taken.
bool plainLineCutShort(const SentenceFields& fields);
// Decodes with the entry of the sentence's own type; an unknown type gives no record and
// DecodeProblem::UnknownType.
Decoded decodeSentence(const SentenceFields& fields);
