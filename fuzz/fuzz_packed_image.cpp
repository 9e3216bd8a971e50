// The packed image parser and block decoder (what inspect and the handheld run on
// received bytes) on arbitrary input.
#include <cstddef>
#include <cstdint>
#include <string>

#include "pack/packed_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string error;
  const auto image = lexora::parsePackedImage(std::span(data, size), error);
  if (!image) {
    if (error.empty()) __builtin_trap();  // every refusal says why
    return 0;
  }
  for (const auto& block : image->blocks) {
    if (!lexora::decodeBlock(block, error) && error.empty()) __builtin_trap();
  }
  return 0;
}
