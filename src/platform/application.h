// Process-wide facts about the running program: its name (message-box captions, the
// settings' location) and its settings store.
#pragma once

#include <string>

#include "platform/settings.h"

namespace lexora {

// Set once at start-up, before the first message or setting; "Lexora" until then.
void setApplicationName(std::string name);
const std::string& applicationName();

// The settings of the application named above.
Settings applicationSettings();

}  // namespace lexora
