// Looking a word up in a packed dictionary, as the handheld does: the headword whose key
// (the headword with 'A'..'Z' lower-cased) equals the word's.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pack/block_reader.h"
#include "pack/packed_dictionary.h"
#include "pack/packed_image.h"
#include "pack/packed_image_reader.h"

namespace lexora {

// One word sought while a dictionary's blocks go by in order, one at a time: only the last
// block whose first key is not after the word's can hold it, and only that block is
// inflated (and only when one of its keys is the word's). REQUIRES keys ascending across
// the dictionary (checkPackedImage ensures it); otherwise a present word may be missed.
class WordSearch {
 public:
  explicit WordSearch(std::string_view word);
  // The dictionary's next block; `reader` inflates it when it holds the word.
  void offer(const PackedBlock& block, BlockReader& reader);
  // True once a block has gone by whose first key is after the word: no later one holds it.
  bool done() const { return done_; }
  // The entry, ASCII letters matched without regard to case; nullopt with an empty `error`
  // when the word is absent, with `error` when the block that holds it is damaged.
  std::optional<DecodedEntry> result(std::string& error) const;

 private:
  std::string wanted_;  // lower-cased
  std::string key_;     // room for the key item being compared
  bool done_ = false;
  std::optional<DecodedEntry> entry_;
  std::string error_;
};

// The entry for `word` in a dictionary held in memory (see WordSearch::result).
std::optional<DecodedEntry> lookupWord(const PackedDictionary& dictionary, std::string_view word,
                                       std::string& error);

// What one look-up found: an entry, the damage of its block, or neither (absent).
struct WordFound {
  std::optional<DecodedEntry> entry;
  std::string error;
};

// Looks every word up in one pass over the image, which is read to its end a block at a
// time (blocks after every word's are passed by unread); one result per word, in order.
// nullopt with `error` when the image is damaged.
std::optional<std::vector<WordFound>> lookupWords(PackedImageReader& image,
                                                  const std::vector<std::string>& words,
                                                  std::string& error);

}  // namespace lexora
