// The reader for StarDict dictionaries, given the path of their .ifo file.
#pragma once

#include <filesystem>

#include "base/user_interface.h"
#include "dictionary/loaded_dictionary.h"
#include "sources/source_options.h"

namespace lexora {

// REQUIRES: `dictionary` is empty. Returns 0 when read, -1 otherwise (the user is told). The
// entries read are frozen either way.
int readStarDictDictionary(LoadedDictionary& dictionary, const std::filesystem::path& ifoPath,
                           UserInterface& ui, const SourceOptions& options = {});

}  // namespace lexora
