// `pack dictionary`: cuts a loaded dictionary, in key order, into blocks of an
// uncompressed key buffer and a zlib-compressed record buffer.
#pragma once

#include <optional>

#include "pack/packed_dictionary.h"
#include "dictionary/loaded_dictionary.h"

namespace lexora {

struct PackResult {
  PackedDictionary dictionary;
  // Entries left out because their headword is longer than 255 UTF-8 bytes (a key item's
  // length is one byte); the caller tells the user when this is not zero.
  int64_t droppedLongHeadwords = 0;
  // Entries shortened, each counted once: records cut at the 65,535-byte cap, records cut
  // further so that their block's compressed stream fits a message (incompressible records
  // of nearly 64 KiB), and entries the reader already had to cut (`shortenedKeys`).
  int64_t shortenedRecords = 0;
};

// Lowers every record length above 65,535 to at most 65,535 in place, as the format
// demands, ending it on a whole UTF-8 character.
// Returns nullopt only when zlib fails (no memory); nothing is then half-packed.
// The blocks are compressed on all cores; the bytes equal a one-by-one compression.
std::optional<PackResult> packDictionary(LoadedDictionary& dictionary);

}  // namespace lexora
