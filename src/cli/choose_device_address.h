// Which handheld `lexora-cli send` talks to.
#pragma once

#include <optional>
#include <string>

namespace lexora {

// `commandLine` (--device) when given and not empty, else the [Link] device= setting when
// set, else the address lexora-handheld listens on by default. Not validated here.
std::string chooseDeviceAddress(const std::optional<std::string>& commandLine);

}  // namespace lexora
