// The texts the transfer job shows about a packed dictionary.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "pack/block_packer.h"

namespace lexora {

// The size question, in the interface language: the packed size in bytes and megabytes,
// then whether to send it (two lines, separated by LF).
std::u16string sizeQuestion(int32_t packedSize);

// What packing had to leave out or shorten, when anything; nullopt when nothing.
std::optional<std::u16string> packingNotice(const PackResult& result);

}  // namespace lexora
