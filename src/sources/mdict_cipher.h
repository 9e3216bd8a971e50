// The cipher MDict 2.x writers apply to the key-block info when the header's Encrypted has
// bit 2 set: not a secret (its key comes from the block itself), only a scrambling.
#pragma once

#include <string>

namespace lexora {

// Unscrambles, in place, a key-block-info block: its type (4 bytes) and checksum (4 bytes)
// stay as they are; the bytes after them are deciphered with the key RIPEMD-128 gives of
// the checksum bytes and 0x95 0x36 0x00 0x00. A block of 8 bytes or fewer is left alone.
void decipherMdictKeyInfo(std::string& block);

}  // namespace lexora
