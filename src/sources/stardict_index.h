// The StarDict index file (.idx / .idx.gz): records of a NUL-terminated UTF-8 headword, a
// big-endian data offset (32 or 64 bits) and a big-endian 32-bit data size, read in order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace lexora {

struct IndexRecord {
  std::string headword;  // valid UTF-8 (invalid bytes became U+FFFD), at most 255 source bytes
  uint64_t dataOffset = 0;
  uint32_t dataSize = 0;
};

class StarDictIndexReader {
 public:
  // Fills `buffer` with up to `size` bytes; returns how many, 0 at the end, -1 on an error.
  using ReadFunction = std::function<int64_t(char* buffer, size_t size)>;

  // `offsetBits` is 32 or 64 (StarDictInfo::offsetBits).
  StarDictIndexReader(ReadFunction read, int offsetBits);

  // `read index record`: the next record. False when no whole record is left: the index
  // ended (or failed to read) part-way, or a headword has no NUL within its first 256
  // bytes. The index cannot be resynchronised after that, so every later call is false too.
  bool readIndexRecord(IndexRecord& record);

 private:
  // Makes at least `want` bytes available unless the input ends first; returns how many are.
  size_t fill(size_t want);

  ReadFunction read_;
  size_t offsetBytes_;
  std::vector<char> buffer_;
  size_t begin_ = 0;
  size_t end_ = 0;
  bool inputEnded_ = false;
  bool stopped_ = false;
};

}  // namespace lexora
