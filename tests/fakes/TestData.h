// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <filesystem>
#include <optional>

#include <gtest/gtest.h>

namespace testdata {

// The folder of recorded receiver logs beside the checkout, or nothing when it is absent
// (a fresh clone on its own must still pass).
std::optional<std::filesystem::path> root();

}  // namespace testdata

// Skips the current test with a clear message when the recorded logs are not there.
#define REQUIRE_TESTDATA(dir)                                                           \
  const auto dir##Opt = testdata::root();                                               \
  if (!dir##Opt) GTEST_SKIP() << "recorded logs not found (../shared/testdata); skipped"; \
  const std::filesystem::path dir = *dir##Opt
