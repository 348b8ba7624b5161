// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "nmea/SentenceFields.h"
#include "nmea/Sentences.h"

// The one list of sentence types the program knows: each type's decoder, or none for a type
// that receivers commonly send and the program knowingly leaves alone (so "ignored" and
// "unknown" stay apart). The reader, the tests and the fuzz targets all go through it.
// Folding a record into the receiver state is the state's business (ReceiverState::apply).
struct SentenceKind {
    std::string_view type;  // "GGA"
    // Fields of the type's full form, address included. A sentence with a checksum is taken
    // with fewer (older receivers leave fields off); one without could be cut short on the way
    // and is only taken whole.
    std::uint32_t fullFields;
    Decoded (*decode)(const SentenceFields& fields);  // nullptr: known but ignored
};

std::span<const SentenceKind> sentenceTable();
// The entry for a type, or nullptr.
const SentenceKind* sentenceKind(std::string_view type);
// A line that came without a checksum and is shorter than its type's full form: it may have
// been cut short on the way, so it is not taken.
bool plainLineCutShort(const SentenceFields& fields);
// Decodes with the entry of the sentence's own type; an unknown or ignored type gives no
// record and DecodeProblem::UnknownType.
Decoded decodeSentence(const SentenceFields& fields);
