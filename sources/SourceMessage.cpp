// SPDX-License-Identifier: BSD-2-Clause
#include "sources/SourceMessage.h"

#include "platform/Alert.h"

std::string SourceMessage::text() const
{
    if (key.empty()) return {};
    return Alert::localizedStringWithKey(key, arguments);
}
