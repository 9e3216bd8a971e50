// The packed dictionary: what is shown to the user (its size) and sent to the handheld.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lexora {

// Each block's buffers are at most 65,535 bytes, so either fits a message's 16-bit length.
struct PackedBlock {
  std::vector<uint8_t> keyBytes;     // items: length byte L, then L bytes of headword (UTF-8)
  std::vector<uint8_t> packedBytes;  // one zlib stream of the record items
};

struct PackedDictionary {
  std::u16string name;
  std::vector<PackedBlock> blocks;
};

// `packed size`: the sum of all key and packed lengths (saturates at INT32_MAX).
int32_t packedSize(const PackedDictionary& dictionary);
// The packed size of blocks whose key and packed lengths add up to `blockBytes`.
int32_t packedSize(uint64_t blockBytes);

}  // namespace lexora
