// SPDX-License-Identifier: BSD-2-Clause
#include "nmea/SentenceTable.h"

#include <array>

namespace {

// Full forms as NMEA 2.0 has them; GSV's ends with the satellites in view.
constexpr std::array kTable = {
    SentenceKind{"GGA", 15, &decodeGGA}, SentenceKind{"RMC", 12, &decodeRMC},
    SentenceKind{"GLL", 7, &decodeGLL},  SentenceKind{"VTG", 9, &decodeVTG},
    SentenceKind{"GSV", 4, &decodeGSV},  SentenceKind{"GSA", 18, &decodeGSA},
    SentenceKind{"GNS", 13, &decodeGNS}, SentenceKind{"ZDA", 7, &decodeZDA},
    SentenceKind{"HDT", 3, &decodeHDT},
    // Sent by common receivers, nothing the window shows: text messages, datum, error
    // statistics, range residuals, distance log, return-link messages, GNSS fault detection.
    SentenceKind{"TXT", 0, nullptr}, SentenceKind{"DTM", 0, nullptr},
    SentenceKind{"GST", 0, nullptr}, SentenceKind{"GRS", 0, nullptr},
    SentenceKind{"VLW", 0, nullptr}, SentenceKind{"RLM", 0, nullptr},
    SentenceKind{"GBS", 0, nullptr},
};

}  // namespace

std::span<const SentenceKind> sentenceTable() { return kTable; }

const SentenceKind* sentenceKind(std::string_view type)
{
    for (const SentenceKind& kind : kTable)
        if (kind.type == type) return &kind;
    return nullptr;
}

bool plainLineCutShort(const SentenceFields& fields)
{
    const SentenceKind* kind = sentenceKind(fields.type());
    return kind && fields.count() < kind->fullFields;
}

Decoded decodeSentence(const SentenceFields& fields)
{
    const SentenceKind* kind = sentenceKind(fields.type());
    if (!kind || !kind->decode) return Decoded{std::nullopt, DecodeNote{DecodeProblem::UnknownType, 0}};
    return kind->decode(fields);
}
