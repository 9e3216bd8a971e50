// What `--version` prints, the same for every Lexora program.
#pragma once

#include <string>
#include <string_view>

namespace lexora {

// "<program> <version>", the copyright line and the licence line (in the interface
// language), each ending in LF.
std::string programVersionText(std::string_view program);

}  // namespace lexora
