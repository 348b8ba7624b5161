// SPDX-License-Identifier: BSD-2-Clause
#pragma once

namespace testlocale {

// Switches the locale category to German (decimal comma), the way a German desktop session
// has it. When no German locale is installed one is built into a private folder with
// localedef. false when neither works (the caller skips).
bool switchToGerman(int category);

// Back to the C locale, without the private folder.
void restore(int category);

}  // namespace testlocale
