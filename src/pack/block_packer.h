// `pack dictionary`: cuts a loaded dictionary, in key order, into blocks of an
// uncompressed key buffer and a zlib-compressed record buffer.
#pragma once

#include <optional>

#include "dictionary/loaded_dictionary.h"
#include "pack/packed_dictionary.h"

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

struct PackOptions {
  // How many threads compress blocks at once (0 counts as 1). The caller chooses: the
  // bytes are the same for any count, only the time differs.
  unsigned threads = 1;
  // The most bytes of data read back at once from a map's scratch file, in each of the two
  // windows held (one compressed, the next read); 0 chooses a sixteenth of those data,
  // 8 MiB at least. Only memory and time depend on it.
  uint64_t windowBytes = 0;
};

// REQUIRES: `dictionary.entries` is frozen.
// Every record above 65,535 bytes is packed cut to at most 65,535, as the format demands,
// ending on a whole UTF-8 character; the dictionary itself is left as it is.
// Returns nullopt only when zlib fails (no memory) or the data the map keeps on disk cannot
// be read back; nothing is then half-packed.
std::optional<PackResult> packDictionary(const LoadedDictionary& dictionary,
                                         const PackOptions& options);

}  // namespace lexora
