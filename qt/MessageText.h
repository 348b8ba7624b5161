// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <QString>
#include <string>
#include <vector>

#include "platform/Alert.h"

namespace qtplatform {

// The user's language's text for a message key (the key itself when no table has it), with
// its %@ filled in order.
inline QString text(const std::string& key, const std::vector<std::string>& arguments = {})
{
    return QString::fromStdString(arguments.empty() ? Alert::localizedStringWithKey(key)
                                                    : Alert::localizedStringWithKey(key, arguments));
}

}  // namespace qtplatform
