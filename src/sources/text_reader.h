// The reader for Lexora's own text dictionaries (*.txt, *.tab): one "headword TAB
// explanation" line per entry, in UTF-16LE after an FF FE mark or else in the ANSI code page.
#pragma once

#include <filesystem>

#include "base/user_interface.h"
#include "dictionary/loaded_dictionary.h"

namespace lexora {

// REQUIRES: `dictionary` is empty. Returns 0 when the file was read to its end, -1 when it
// cannot be opened or a read fails (the user is told). The entries read are frozen either way.
int readTextDictionary(LoadedDictionary& dictionary, const std::filesystem::path& path,
                       UserInterface& ui);

}  // namespace lexora
