// `load dictionary file`: picks the reader by the file's extension and runs it.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "base/user_interface.h"
#include "dictionary/loaded_dictionary.h"
#include "sources/source_options.h"

namespace lexora {

// REQUIRES: `dictionary` is empty. Returns 0 when the file was read, -1 otherwise; the
// reader (or this function, for an extension it does not know) has told the user why.
// Extensions, compared after ASCII lower-casing: "txt", "tab" (text dictionary), "ifo"
// (StarDict), "index" (dictd), "dsl" (DSL; also "dz" when the name ends in ".dsl.dz"),
// "xdxf" (XDXF) and "mdx" (MDict; "mdd", its media file, is refused with the reason). The
// extension is what follows the path's last '.'. A file read without finding any entry
// returns 0 too, after a warning that no entries were found. Either way the entries are
// frozen on return.
// `options` are the user's choices about reading (markup fields kept as text or dropped).
int loadDictionaryFile(LoadedDictionary& dictionary, const std::filesystem::path& path,
                       UserInterface& ui, const SourceOptions& options = {});

// The extension rule on its own, on the path's text (pathText): the text after the last
// '.', or the whole path.
std::u16string extensionOf(std::u16string_view path);

// The dictionary name a path gives: after the last separator, before the last '.'.
// Separators are isPathSeparator's ('\' everywhere, '/' too on systems other than Windows).
std::u16string dictionaryNameFromPath(std::u16string_view path);

}  // namespace lexora
