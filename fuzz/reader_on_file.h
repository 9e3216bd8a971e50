// How the fuzz targets of the file readers run one input: written to a file of the
// reader's extension, read with every message answered OK, then packed. A pack that fails
// on what was read is a finding, and so is a reader that fails unless it may refuse a file,
// and an entry whose data does not start with its headword: the packer takes the headword
// it packs from there, a key's length in bytes, so any other start packs a wrong headword.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "base/user_interface.h"
#include "dictionary/loaded_dictionary.h"
#include "pack/block_packer.h"
#include "platform/ansi_code_page.h"

namespace lexora::fuzz {

class SilentUserInterface : public UserInterface {
 public:
  MessageAnswer showMessage(std::u16string_view, MessageIcon, MessageButtons) override {
    return MessageAnswer::Ok;
  }
  void setStatus(std::u16string_view) override {}
  std::optional<std::u16string> askPassword(std::u16string_view) override { return std::nullopt; }
};

using FileReader = int (*)(LoadedDictionary&, const std::filesystem::path&, UserInterface&);

// Readers of line-based files keep what they can of any input; an XML reader refuses a
// document that is not well-formed.
enum class Refusal { Finding, Allowed };

// The first byte also picks a single- or a multi-byte page for text without a mark.
inline void readerOnFile(const uint8_t* data, size_t size, std::string_view name, FileReader reader,
                         Refusal refusal = Refusal::Finding) {
  const std::string path = "/tmp/lexora-fuzz-" + std::string(name) + "-" +
                           std::to_string(getpid()) + "." + std::string(name);
  chooseAnsiCodePage(size > 0 && (data[0] & 1) ? "CP936" : "CP1252");
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  SilentUserInterface ui;
  LoadedDictionary dictionary;
  if (reader(dictionary, std::filesystem::path(path), ui) != 0 && refusal == Refusal::Finding)
    __builtin_trap();
  const EntryMap& map = dictionary.entries;
  // An input that unpacks to more than the map keeps in memory has its data on disk.
  EntryMap::TextWindow texts;
  if (!map.readTexts(0, map.size(), texts)) __builtin_trap();
  for (size_t r = 0; r < map.size(); ++r) {
    const EntryMap::Entry& entry = map.entries()[r];
    const std::string_view key = entry.key();
    const std::string_view text = texts.text(r);
    // Only the first kKeptEntryBytes of the data are read back: a longer key is seen in part.
    if (static_cast<size_t>(entry.length) <= key.size() ||
        (key.size() < text.size() && text[key.size()] != '\t'))
      __builtin_trap();
    // Byte for byte but for case; a lone surrogate's key bytes stand for the U+FFFD the
    // data shows, as long.
    for (size_t i = 0; i < std::min(key.size(), text.size()); ++i) {
      const char c = text[i];
      if (static_cast<unsigned char>(key[i]) < 0x80 &&
          (c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c) != key[i])
        __builtin_trap();
    }
  }
  if (!packDictionary(dictionary, PackOptions{})) __builtin_trap();
}

}  // namespace lexora::fuzz
