// SPDX-License-Identifier: BSD-2-Clause
// Caster answers, chunked streams, source tables and RTCM 3 streams from the network are
// untrusted: none of them may crash or hang the parsers, whatever the bytes.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "sources/ChunkedDecoder.h"
#include "sources/GpsdJsonFilter.h"
#include "sources/NtripResponse.h"
#include "sources/Rtcm3Framer.h"
#include "sources/SourceTable.h"
#include "sources/SourceUrl.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> input(data, size);

    NtripResponse response;
    const std::size_t head = response.feed(input);
    const auto body = input.subspan(head);

    std::vector<std::uint8_t> payload;
    ChunkedDecoder chunks;
    chunks.feed(body, payload);

    Rtcm3Framer framer;
    std::size_t delivered = 0;
    framer.feed(response.chunked() ? std::span<const std::uint8_t>(payload) : body,
                [&](std::span<const std::uint8_t> frame) {
                    delivered += frame.size();
                    (void)Rtcm3Framer::messageType(frame);
                    (void)Rtcm3Framer::stationId(frame);
                });
    if (framer.bytesPending() > Rtcm3Framer::kMaxFrame) __builtin_trap();

    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const SourceTable table = SourceTable::parse(text);
    (void)table.sortedByDistance(48.0, 11.0);

    SourceMessage why;
    if (const auto url = SourceUrl::parse(text, why)) (void)url->toString();

    GpsdJsonFilter filter;
    std::vector<std::uint8_t> out;
    filter.feed(input, out);
    if (out.size() > size) __builtin_trap();
    return 0;
}
