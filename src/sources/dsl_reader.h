// The reader for ABBYY Lingvo DSL dictionaries (.dsl, and .dsl.dz compressed with dictzip
// or gzip): header lines starting with '#', then cards of one or more headword lines at
// column 0 followed by body lines indented with a TAB or space.
#pragma once

#include <filesystem>
#include <string_view>

#include "base/user_interface.h"
#include "dictionary/loaded_dictionary.h"

namespace lexora {

// REQUIRES: `dictionary` is empty. Returns 0 when read (a damaged file keeps the entries
// read, and the user is told), -1 when it cannot be opened (the user is told). An
// abbreviation file beside it (NAME_abrv.dsl) is read too, but gives no entries. The
// entries read are frozen either way.
int readDslDictionary(LoadedDictionary& dictionary, const std::filesystem::path& path,
                      UserInterface& ui);

// Whether a path's text names a compressed DSL file (ends in ".dsl.dz", in any letter case).
bool isCompressedDslPath(std::u16string_view path);

}  // namespace lexora
