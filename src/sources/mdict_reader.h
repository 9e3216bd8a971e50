// The reader for MDict dictionaries (.mdx), versions 1.x and 2.x, and the refusal of their
// media files (.mdd), which hold no entries.
#pragma once

#include <filesystem>

#include "base/user_interface.h"
#include "dictionary/loaded_dictionary.h"

namespace lexora {

// REQUIRES: `dictionary` is empty. Returns 0 when read (damaged blocks skipped, the user
// told), -1 when the file cannot be read at all: it does not open, is no MDict file, is of
// a version other than 1.x and 2.x, is enciphered with a registration key
// (Encrypted bit 1), names an unknown encoding, or its key section is damaged. Nothing is
// loaded then. The record data are read one block at a time. The entries are frozen either
// way.
int readMdictDictionary(LoadedDictionary& dictionary, const std::filesystem::path& path,
                        UserInterface& ui);

// Tells the user that `path`, an MDict media file (.mdd), holds no entries to send and
// that the .mdx beside it is the file to choose. Returns -1; `dictionary` is frozen empty.
int refuseMdictMediaFile(LoadedDictionary& dictionary, const std::filesystem::path& path,
                         UserInterface& ui);

}  // namespace lexora
