#include "link/link_test_data.h"

#include "dictionary/loaded_dictionary.h"
#include "pack/block_packer.h"

namespace lexora::test {

PackedDictionary packedTestDictionary(std::u16string name, int entries) {
  LoadedDictionary loaded;
  loaded.name = std::move(name);
  for (int i = 0; i < entries; ++i) {
    const std::string word = "Word" + std::to_string(i);
    std::string data = word + "\tthe explanation of " + word + ", number " + std::to_string(i * 7);
    std::u16string key;
    for (char c : word) key += static_cast<char16_t>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    addEntry(loaded.entries, key, data);
  }
  loaded.entries.freeze();
  auto packed = packDictionary(loaded, PackOptions{});
  return packed ? std::move(packed->dictionary) : PackedDictionary{};
}

}  // namespace lexora::test
