// SPDX-License-Identifier: BSD-2-Clause
#include "fakes/TestData.h"

#include <cstdlib>

namespace testdata {

std::optional<std::filesystem::path> root()
{
    std::filesystem::path dir = GPSDESK_TESTDATA;
    if (const char* override = std::getenv("GPSDESK_TESTDATA")) dir = override;
    std::error_code error;
    if (std::filesystem::is_directory(dir, error)) return dir;
    return std::nullopt;
}

}  // namespace testdata
