#include "core/SentenceTable.h"

#include <array>

namespace {

template <typename Record>
ReceiverState::Changes fold(ReceiverState& state, const SentenceRecord& record, double nowSeconds)
{
    return state.apply(std::get<Record>(record), nowSeconds);
}

constexpr std::array kTable = {
    SentenceKind{"GGA", &decodeGGA, &fold<GGA>}, SentenceKind{"RMC", &decodeRMC, &fold<RMC>},
    SentenceKind{"GLL", &decodeGLL, &fold<GLL>}, SentenceKind{"VTG", &decodeVTG, &fold<VTG>},
    SentenceKind{"GSV", &decodeGSV, &fold<GSV>}, SentenceKind{"GSA", &decodeGSA, &fold<GSA>},
    SentenceKind{"GNS", &decodeGNS, &fold<GNS>}, SentenceKind{"ZDA", &decodeZDA, &fold<ZDA>},
    SentenceKind{"HDT", &decodeHDT, &fold<HDT>},
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
    if (!kind) return Decoded{std::nullopt, DecodeNote{DecodeProblem::UnknownType, 0}};
    return kind->decode(fields);
}
