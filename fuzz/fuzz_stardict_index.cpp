// The index reader on arbitrary bytes, delivered in reads of varying length.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "base/text_codec.h"
#include "sources/stardict_index.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int offsetBits = (data[0] & 1) ? 64 : 32;
  const size_t step = 1 + (data[0] >> 1) * 7;  // 1 to 890 bytes per read
  const char* bytes = reinterpret_cast<const char*>(data + 1);
  size_t left = size - 1;
  lexora::StarDictIndexReader reader(
      [&](char* buffer, size_t capacity) -> int64_t {
        const size_t n = std::min({left, capacity, step});
        std::memcpy(buffer, bytes, n);
        bytes += n;
        left -= n;
        return static_cast<int64_t>(n);
      },
      offsetBits);
  lexora::IndexRecord record;
  while (reader.readIndexRecord(record)) {
    std::string again;
    lexora::appendValidUtf8(again, record.headword);
    if (again != record.headword || record.headword.find('\0') != std::string::npos) {
      __builtin_trap();
    }
  }
  if (reader.readIndexRecord(record)) __builtin_trap();  // stays ended
  return 0;
}
