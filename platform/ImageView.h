// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <string>

namespace platform {

class ImageView {
public:
    virtual ~ImageView() = default;
    // Shows the picture found under the name among the program's resources. false (and an
    // empty view) when there is none.
    virtual bool setImageNamed(const std::string& name) = 0;
};

}  // namespace platform
