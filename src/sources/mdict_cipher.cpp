#include "sources/mdict_cipher.h"

#include "sources/ripemd128.h"

namespace lexora {

void decipherMdictKeyInfo(std::string& block) {
  if (block.size() <= 8) return;
  std::string seed = block.substr(4, 4);
  seed.append("\x95\x36\x00\x00", 4);
  const Ripemd128Digest key = ripemd128(seed);
  uint8_t previous = 0x36;
  for (size_t i = 8; i < block.size(); ++i) {
    const auto byte = static_cast<uint8_t>(block[i]);
    const auto swapped = static_cast<uint8_t>(byte >> 4 | byte << 4);
    const size_t at = i - 8;
    block[i] = static_cast<char>(swapped ^ previous ^ static_cast<uint8_t>(at) ^ key[at % 16]);
    previous = byte;
  }
}

}  // namespace lexora
