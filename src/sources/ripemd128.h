// RIPEMD-128, the hash MDict derives its key-block-info cipher key from. Not for security:
// it only reproduces what the format's writers compute.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace lexora {

using Ripemd128Digest = std::array<uint8_t, 16>;

Ripemd128Digest ripemd128(std::string_view bytes);

}  // namespace lexora
