// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include "platform/Workspace.h"

namespace qtplatform {

// The primary screen as Qt reports it.
class QtScreen : public platform::Screen {
public:
    std::optional<platform::Size> mainScreenSize() const override;
    std::optional<float> horizontalDPI() const override;
};

}  // namespace qtplatform
