// The user's choices about how dictionaries are read.
#pragma once

#include "platform/settings.h"

namespace lexora {

struct SourceOptions {
  // StarDict fields of HTML ("h") and XDXF ("x") markup are turned into text rather than
  // dropped.
  bool markupAsText = false;
};

// The choices the settings store holds: "[Sources] markup=text" keeps markup fields as text.
SourceOptions storedSourceOptions(const Settings& settings);

}  // namespace lexora
