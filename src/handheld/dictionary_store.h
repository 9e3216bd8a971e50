// The handheld's store: one packed image file per dictionary, named after the dictionary.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pack/packed_dictionary.h"
#include "pack/word_lookup.h"

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

  // Looks `words` up in the dictionary named `utf8Name`, reading its image as it streams;
  // nullopt with `error` when it is not there, cannot be read or is damaged.
  std::optional<std::vector<WordFound>> lookup(std::string_view utf8Name,
                                               const std::vector<std::string>& words,
                                               std::string& error) const;

  // What is shown of a stored image: its structure is read to its end, its blocks' payloads
  // are passed by unread.
  struct Entry {
    std::filesystem::path path;
    std::string error;  // why it cannot be shown (unreadable, damaged); empty when it can
    std::u16string name;
    size_t blocks = 0;
    uint64_t blockBytes = 0;  // the key and record payloads (see packedSize)
  };
  // The .lxp files of the store, by path, each with what it holds or why it cannot be
  // read; nullopt with `error` when the store itself cannot be read (missing, not a
  // folder, not readable).
  std::optional<std::vector<Entry>> list(std::string& error) const;

 private:
  std::filesystem::path directory_;
  TempNames tempNames_;
};

}  // namespace lexora::handheld
