// Looking a word up in a packed dictionary, as the handheld does: the headword whose key
// (the headword with 'A'..'Z' lower-cased) equals the word's.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "pack/packed_dictionary.h"
#include "pack/packed_image.h"

namespace lexora {

// The entry for `word`, ASCII letters matched without regard to case. Only the one block
// whose key range can hold the word is inflated. REQUIRES keys ascending across the
// dictionary (checkPackedImage ensures it); otherwise a present word may be missed.
// nullopt with an empty `error` when the word is absent, with `error` when its block is
// damaged.
std::optional<DecodedEntry> lookupWord(const PackedDictionary& dictionary, std::string_view word,
                                       std::string& error);

}  // namespace lexora
