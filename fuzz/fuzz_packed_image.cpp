// The packed image parser, block decoder and the shared image check (what inspect, the
// emulator and the handheld run on received bytes) on arbitrary input. The check passes
// only images that parse and decode whole, and its counts are what decoding gives.
#include <cstddef>
#include <cstdint>
#include <string>

#include "pack/packed_image.h"
#include "pack/packed_image_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string error;
  const std::span<const uint8_t> bytes(data, size);
  const auto image = lexora::parsePackedImage(bytes, error);
  std::string checkError;
  const auto checked = lexora::checkPackedImage(bytes, checkError);
  if (!checked && checkError.empty()) __builtin_trap();  // every refusal says why
  if (!image) {
    if (error.empty() || checked) __builtin_trap();
    return 0;
  }
  bool decodes = true;
  uint64_t entries = 0, recordBytes = 0;
  for (const auto& block : image->blocks) {
    const auto decoded = lexora::decodeBlock(block, error);
    if (!decoded) {
      if (error.empty()) __builtin_trap();
      decodes = false;
      continue;
    }
    entries += decoded->size();
    for (const auto& e : *decoded) recordBytes += 2 + e.text.size();
  }
  if (checked && (!decodes || checked->entries != entries || checked->recordBytes != recordBytes ||
                  checked->blocks != image->blocks.size())) {
    __builtin_trap();
  }
  return 0;
}
