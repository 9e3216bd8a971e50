// The handheld's store: one packed image file per dictionary, named after the dictionary.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pack/packed_dictionary.h"

namespace lexora::handheld {

class DictionaryStore {
 public:
  // How the temporary files an image is written to before it takes its name are named:
  // at random, or (for tests that plant files there) .NAME.lxp.0, .1, ... in turn.
  enum class TempNames { Random, Predictable };

  explicit DictionaryStore(std::filesystem::path directory,
                           TempNames tempNames = TempNames::Random);

  // $XDG_DATA_HOME/lexora-handheld (~/.local/share when unset).
  static std::filesystem::path defaultDirectory();

  const std::filesystem::path& directory() const { return directory_; }

  // Writes the image atomically under packedImageFileName; a dictionary of the same name
  // is replaced.
  bool store(const PackedDictionary& dictionary, std::filesystem::path& path, std::string& error);

  std::optional<PackedDictionary> load(std::string_view utf8Name, std::string& error) const;

  struct Entry {
    std::filesystem::path path;
    std::optional<PackedDictionary> dictionary;  // nullopt when the file is damaged
    std::string error;
  };
  // The .lxp files of the store, by path; nullopt with `error` when the store cannot be
  // read (missing, not a folder, not readable).
  std::optional<std::vector<Entry>> list(std::string& error) const;

 private:
  std::filesystem::path directory_;
  TempNames tempNames_;
};

}  // namespace lexora::handheld
