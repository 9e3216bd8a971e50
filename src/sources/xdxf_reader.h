// The reader for XDXF dictionaries (.xdxf), in the "visual" and the "logical" format.
#pragma once

#include <filesystem>

#include "base/user_interface.h"
#include "dictionary/loaded_dictionary.h"

namespace lexora {

// REQUIRES: `dictionary` is empty. Returns 0 when read, -1 otherwise (the user is told,
// with the file named). Every <ar> is an entry under each of its <k> keys; the entries
// read are frozen either way.
int readXdxfDictionary(LoadedDictionary& dictionary, const std::filesystem::path& path,
                       UserInterface& ui);

}  // namespace lexora
