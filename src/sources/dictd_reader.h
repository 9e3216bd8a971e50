// The reader for dictd databases, given the path of their index (NAME.index); the data
// are NAME.dict.dz (dictzip or any gzip stream) or else NAME.dict beside it.
#pragma once

#include <filesystem>

#include "base/user_interface.h"
#include "dictionary/loaded_dictionary.h"

namespace lexora {

// REQUIRES: `dictionary` is empty. Returns 0 when read, -1 when the index cannot be read or
// no data file opens (the user is told). The entries read are frozen either way.
int readDictdDictionary(LoadedDictionary& dictionary, const std::filesystem::path& indexPath,
                        UserInterface& ui);

}  // namespace lexora
