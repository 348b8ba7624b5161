#include "core/SentenceTable.h"

#include <array>

namespace {

constexpr std::array kTable = {
    SentenceKind{"GGA", &decodeGGA}, SentenceKind{"RMC", &decodeRMC},
    SentenceKind{"GLL", &decodeGLL}, SentenceKind{"VTG", &decodeVTG},
    SentenceKind{"GSV", &decodeGSV}, SentenceKind{"GSA", &decodeGSA},
    SentenceKind{"GNS", &decodeGNS}, SentenceKind{"ZDA", &decodeZDA},
    SentenceKind{"HDT", &decodeHDT},
    // Sent by common receivers, nothing the window shows: text messages, datum, error
    // statistics, range residuals, distance log, return-link messages, GNSS fault detection.
    SentenceKind{"TXT", nullptr}, SentenceKind{"DTM", nullptr},
    SentenceKind{"GST", nullptr}, SentenceKind{"GRS", nullptr},
    SentenceKind{"VLW", nullptr}, SentenceKind{"RLM", nullptr},
    SentenceKind{"GBS", nullptr},
};

}  // namespace

std::span<const SentenceKind> sentenceTable() { return kTable; }

const SentenceKind* sentenceKind(std::string_view type)
{
    for (const SentenceKind& kind : kTable)
        if (kind.type == type) return &kind;
    return nullptr;
}

Decoded decodeSentence(const SentenceFields& fields)
{
    const SentenceKind* kind = sentenceKind(fields.type());
    if (!kind || !kind->decode) return Decoded{std::nullopt, DecodeNote{DecodeProblem::UnknownType, 0}};
    return kind->decode(fields);
}
