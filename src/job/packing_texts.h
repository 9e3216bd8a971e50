// The texts the transfer job shows about a packed dictionary.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "pack/block_packer.h"

namespace lexora {

// The packed size in bytes and megabytes, one line in the interface language.
std::u16string packedSizeText(int32_t packedSize);

// The size question: the packed size line, then whether to send it (two lines, separated
// by LF).
std::u16string sizeQuestion(int32_t packedSize);

// What packing had to leave out or shorten, when anything; nullopt when nothing.
std::optional<std::u16string> packingNotice(const PackResult& result);

}  // namespace lexora
