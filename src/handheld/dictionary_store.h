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
  explicit DictionaryStore(std::filesystem::path directory);

  // $XDG_DATA_HOME/lexora-handheld (~/.local/share when unset).
  static std::filesystem::path defaultDirectory();

  // The file name for a dictionary's UTF-8 name: letters, digits, '-', '_', '.' (not
  // leading) and the bytes of valid non-ASCII UTF-8 are kept, every other byte becomes
  // %XX, so that no name can reach outside the store; ".lxp" is appended.
  static std::string fileNameFor(std::string_view utf8Name);

  const std::filesystem::path& directory() const { return directory_; }

  // Writes the image atomically; a dictionary of the same name is replaced.
  bool store(const PackedDictionary& dictionary, std::filesystem::path& path, std::string& error);

  std::optional<PackedDictionary> load(std::string_view utf8Name, std::string& error) const;

  struct Entry {
    std::filesystem::path path;
    std::optional<PackedDictionary> dictionary;  // nullopt when the file is damaged
    std::string error;
  };
  std::vector<Entry> list() const;

 private:
  std::filesystem::path directory_;
};

}  // namespace lexora::handheld
