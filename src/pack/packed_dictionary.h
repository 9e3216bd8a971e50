// The packed dictionary: what is shown to the user (its size) and sent to the handheld.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "pack/stored_blocks.h"

namespace lexora {

// Each block's buffers are at most 65,535 bytes, so either fits a message's 16-bit length.
struct PackedBlock {
  std::vector<uint8_t> keyBytes;     // items: length byte L, then L bytes of headword (UTF-8)
  std::vector<uint8_t> packedBytes;  // one zlib stream of the record items
};

struct PackedDictionary {
  std::u16string name;
  // The blocks, in memory; or, for a dictionary packed large, none here and all in `stored`.
  std::vector<PackedBlock> blocks;
  std::shared_ptr<const StoredBlocks> stored;
};

size_t blockCount(const PackedDictionary& dictionary);

// Calls use(block) for each block in order until it returns false; stored blocks are read
// back a megabyte of them at a time. False when a stored block cannot be read back.
template <class Use>
bool forEachBlock(const PackedDictionary& dictionary, Use use) {
  if (!dictionary.stored) {
    for (const PackedBlock& block : dictionary.blocks) {
      if (!use(block)) break;
    }
    return true;
  }
  StoredBlocks::Cursor cursor(*dictionary.stored);
  PackedBlock block;
  while (cursor.next(block)) {
    if (!use(static_cast<const PackedBlock&>(block))) break;
  }
  return !cursor.failed();
}

// `packed size`: the sum of all key and packed lengths (saturates at INT32_MAX).
int32_t packedSize(const PackedDictionary& dictionary);
// The packed size of blocks whose key and packed lengths add up to `blockBytes`.
int32_t packedSize(uint64_t blockBytes);

}  // namespace lexora
