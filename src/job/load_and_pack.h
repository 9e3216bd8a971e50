// Loading and packing one selected file, with the status line telling each step:
// the part of the transfer job that comes before the size question.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "base/user_interface.h"
#include "dictionary/loaded_dictionary.h"
#include "pack/block_packer.h"
#include "sources/source_options.h"

namespace lexora {

struct LoadedAndPacked {
  LoadedDictionary loaded;
  PackResult packed;
};

// Status "Load dictionary file <path>..." (the path as pathText shows it), load, "...Success",
// "Compress dictionary file <path>...", pack, "...Success". nullopt when the file could not be
// loaded (its reader told the user) or packed (told here). A notice about left-out entries is shown
// too. `sources` are passed to the reader.
std::optional<LoadedAndPacked> loadAndPackFile(const std::filesystem::path& file, UserInterface& ui,
                                               const SourceOptions& sources = {});

// The status texts of those steps, also used by the transfer job.
std::u16string loadingStatus(std::u16string_view path);
std::u16string packingStatus(std::u16string_view path);

}  // namespace lexora
