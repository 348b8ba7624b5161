// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>

namespace platform::posix {

// What the preferences file needs of JSON text beyond the parser: read without recursion,
// so a hostile file nested thousands deep costs nothing.
class JsonText {
public:
    JsonText() = delete;

    // The deepest nesting of arrays and objects; brackets inside strings do not count.
    static std::size_t nestingDepth(std::string_view text);
    // The JSON text of each member of the top-level object, as it stands in the file. Kept
    // as text because writing a parsed deep value back recurses once per level. Only called
    // on text that the parser accepted as an object.
    static std::map<std::string, std::string> memberTexts(std::string_view text);
};

}  // namespace platform::posix
