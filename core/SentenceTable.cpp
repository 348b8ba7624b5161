#include "core/SentenceTable.h"

#include <array>

namespace {

template <typename Record>
ReceiverState::Changes fold(ReceiverState& state, const SentenceRecord& record, double nowSeconds)
{
    return state.apply(std::get<Record>(record), nowSeconds);
}

// Full forms as NMEA 2.0 has them; GSV's ends with the satellites in view.
constexpr std::array kTable = {
    SentenceKind{"GGA", 15, &decodeGGA, &fold<GGA>}, SentenceKind{"RMC", 12, &decodeRMC, &fold<RMC>},
    SentenceKind{"GLL", 7, &decodeGLL, &fold<GLL>},  SentenceKind{"VTG", 9, &decodeVTG, &fold<VTG>},
    SentenceKind{"GSV", 4, &decodeGSV, &fold<GSV>},  SentenceKind{"GSA", 18, &decodeGSA, &fold<GSA>},
    SentenceKind{"GNS", 13, &decodeGNS, &fold<GNS>}, SentenceKind{"ZDA", 7, &decodeZDA, &fold<ZDA>},
    SentenceKind{"HDT", 3, &decodeHDT, &fold<HDT>},
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
    if (!kind) return Decoded{std::nullopt, DecodeNote{DecodeProblem::UnknownType, 0}};
    return kind->decode(fields);
}
