// The info file parser on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "sources/stardict_info.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto info =
      lexora::parseStarDictInfo(std::string_view(reinterpret_cast<const char*>(data), size));
  if (info.offsetBits != 32 && info.offsetBits != 64) __builtin_trap();
  return 0;
}
