#include "pack/word_lookup.h"

#include <algorithm>

#include "base/text_codec.h"
#include "dictionary/key_order.h"

namespace lexora {
namespace {

// Calls `visit` with each key item of `block`, lower-cased in `key`, up to the first
// malformed one or until `visit` returns false.
template <class Visit>
void forEachKey(const PackedBlock& block, std::string& key, Visit&& visit) {
  const auto& bytes = block.keyBytes;
  for (size_t k = 0; k < bytes.size();) {
    const size_t length = bytes[k];
    if (length == 0 || bytes.size() - k - 1 < length) return;
    key.assign(reinterpret_cast<const char*>(bytes.data()) + k + 1, length);
    asciiLowerInPlace(key);
    if (!visit()) return;
    k += 1 + length;
  }
}

}  // namespace

WordSearch::WordSearch(std::string_view word) : wanted_(asciiLower(word)) {}

void WordSearch::offer(const PackedBlock& block, BlockReader& reader) {
  if (done_) return;
  bool hasKey = false;
  forEachKey(block, key_, [&] {
    hasKey = true;
    return false;  // the first key is enough
  });
  if (!hasKey) return;  // a block without a readable first key cannot be placed
  if (compareKeys(wanted_, key_) < 0) {
    done_ = true;
    return;
  }
  // The last block so far that can hold the word: what an earlier one found is superseded.
  entry_.reset();
  error_.clear();
  std::optional<size_t> hit;
  size_t index = 0;
  forEachKey(block, key_, [&] {
    if (key_ == wanted_) hit = index;
    ++index;
    return !hit;
  });
  if (!hit) return;
  const std::vector<EntryView>* entries = reader.read(block, error_);
  if (!entries) return;
  // A block that reads pairs every key item with a record item, so the index is in range.
  const EntryView& e = (*entries)[*hit];
  entry_ = DecodedEntry{std::string(e.headword), std::string(e.text)};
}

std::optional<DecodedEntry> WordSearch::result(std::string& error) const {
  error = error_;
  return entry_;
}

std::optional<DecodedEntry> lookupWord(const PackedDictionary& dictionary, std::string_view word,
                                       std::string& error) {
  WordSearch search(word);
  BlockReader reader;
  const bool read = forEachBlock(dictionary, [&](const PackedBlock& block) {
    if (search.done()) return false;
    search.offer(block, reader);
    return true;
  });
  if (!read) {
    error = "the packed blocks kept in a temporary file cannot be read back";
    return std::nullopt;
  }
  return search.result(error);
}

std::optional<std::vector<WordFound>> lookupWords(PackedImageReader& image,
                                                  const std::vector<std::string>& words,
                                                  std::string& error) {
  std::string name;
  if (!image.readName(name, error)) return std::nullopt;
  std::vector<WordSearch> searches(words.begin(), words.end());
  BlockReader reader;
  PackedBlock block;
  for (;;) {
    const bool sought =
        std::any_of(searches.begin(), searches.end(), [](const auto& s) { return !s.done(); });
    // Read to the end even when every word is placed, so that a damaged image is told.
    const auto step = sought ? image.nextBlock(block, error) : image.skipBlock(error);
    if (step == PackedImageReader::Step::Damaged) return std::nullopt;
    if (step == PackedImageReader::Step::End) break;
    if (!sought) continue;
    for (WordSearch& search : searches) search.offer(block, reader);
  }
  std::vector<WordFound> found;
  for (const WordSearch& search : searches) {
    WordFound f;
    f.entry = search.result(f.error);
    found.push_back(std::move(f));
  }
  return found;
}

}  // namespace lexora
