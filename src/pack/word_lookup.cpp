#include "pack/word_lookup.h"

#include <algorithm>

#include "platform/text_codec.h"
#include "sources/entry_map.h"

namespace lexora {
namespace {

// The key items of a key buffer, lower-cased, up to the first malformed one.
std::vector<std::string> keysOf(const PackedBlock& block, size_t limit) {
  std::vector<std::string> keys;
  const auto& bytes = block.keyBytes;
  for (size_t k = 0; k < bytes.size() && keys.size() < limit;) {
    const size_t length = bytes[k];
    if (length == 0 || bytes.size() - k - 1 < length) break;
    keys.push_back(
        asciiLower(std::string_view(reinterpret_cast<const char*>(bytes.data()) + k + 1, length)));
    k += 1 + length;
  }
  return keys;
}

}  // namespace

std::optional<DecodedEntry> lookupWord(const PackedDictionary& dictionary, std::string_view word,
                                       std::string& error) {
  error.clear();
  const std::string wanted = asciiLower(word);
  // Each block's first key, to find by key the one block that can hold the word.
  struct First {
    std::string key;
    size_t block;
  };
  std::vector<First> firsts;
  firsts.reserve(dictionary.blocks.size());
  for (size_t b = 0; b < dictionary.blocks.size(); ++b) {
    auto keys = keysOf(dictionary.blocks[b], 1);
    if (!keys.empty()) firsts.push_back({std::move(keys.front()), b});
  }
  const auto after = std::upper_bound(
      firsts.begin(), firsts.end(), wanted,
      [](const std::string& w, const First& f) { return compareKeys(w, f.key) < 0; });
  if (after == firsts.begin()) return std::nullopt;
  const PackedBlock& block = dictionary.blocks[std::prev(after)->block];
  const auto keys = keysOf(block, SIZE_MAX);
  const auto hit = std::find(keys.begin(), keys.end(), wanted);
  if (hit == keys.end()) return std::nullopt;
  auto entries = decodeBlock(block, error);
  if (!entries) return std::nullopt;
  // A decoded block pairs every key item with a record item, so the index is in range.
  return std::move((*entries)[static_cast<size_t>(hit - keys.begin())]);
}

}  // namespace lexora
