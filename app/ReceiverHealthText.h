// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <string>
#include <vector>

#include "receiver/ReceiverState.h"

// How a health row reads at a glance, for the pane's colours: Unknown rows are dimmed, a
// warning or a critical state stands out; Plain is a value with no judgement (a name, a
// number).
enum class HealthLevel { Unknown, Plain, Good, Warning, Critical };

struct ReceiverHealthRow {
    std::string key;    // the label's message key, stable across languages ("health.model")
    std::string label;  // in the user's language
    std::string value;  // in the user's language; the receiver's own texts as printable ASCII
    HealthLevel level = HealthLevel::Unknown;
    bool operator==(const ReceiverHealthRow&) const = default;
};

// The receiver's identity and signal health as labelled rows of text, in the user's
// language, for the identity and health pane. Every row is always there (in a fixed order,
// so the pane's layout does not jump), except "other version details", which shows only
// when the receiver listed something not shown elsewhere. A value the receiver has not
// reported says so plainly rather than showing a blank or a default that looks fine.
class ReceiverHealthText {
public:
    ReceiverHealthText() = delete;

    static std::vector<ReceiverHealthRow> rows(const ReceiverHealth& health);

    // The satellite systems a version report lists ("GPS;GLO;GAL;BDS", "SBAS;IMES;QZSS"),
    // by their usual names, in the order listed, each once; empty when none is listed.
    static std::vector<std::string> supportedSystems(const std::vector<std::string>& extensions);
};
