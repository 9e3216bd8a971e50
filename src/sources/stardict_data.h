// The StarDict data file (.dict / .dict.dz): data blocks read by offset and size.
//
// Three ways of reading, chosen by the file's content rather than its name:
// - a plain file: zlib's gzip file functions, seeking only when a block does not follow
//   the previous one;
// - a dictzip file with a sound random-access table: only the chunks a block spans are
//   inflated (DictzipReader);
// - any other gzip stream: decompressed once, as far as the blocks reach, and read from
//   memory, so that blocks stored out of index order cost no re-decompression; what lies
//   beyond a memory limit goes to a temporary file (made safely and unlinked at once) and
//   is read from there by position.
// All three give the same bytes for the same block.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace lexora {

struct StarDictDataLimits {
  // How much of a decompressed gzip stream, or of a dictzip file's data read out of order,
  // is kept in memory; the rest is kept in a temporary file. A few hundred megabytes: the
  // entries' index takes its share of memory too. Tests lower it.
  uint64_t memoryBytes = sizeof(size_t) >= 8 ? uint64_t{256} << 20 : uint64_t{128} << 20;
  // How far a gzip stream is decompressed at all: 32-bit offsets and sizes reach no
  // further, and a small hostile file must not fill the disk.
  uint64_t decodedBytes = uint64_t{8} << 30;
};

class StarDictData {
 public:
  // nullptr when the file cannot be opened.
  static std::unique_ptr<StarDictData> open(const std::filesystem::path& path,
                                            const StarDictDataLimits& limits = {});
  virtual ~StarDictData() = default;

  // Why blocks could not be read, beyond damage in the file itself.
  enum class Problem {
    none,
    noTemporarySpace,  // the temporary file could not be made or written
  };
  virtual Problem problem() const { return Problem::none; }

  // Replaces `block` with the bytes of [offset, offset + size) that exist in the
  // (uncompressed) data. True when all `size` bytes exist; false when the block reaches
  // beyond the end of the data or a read fails part-way (`block` then holds the part
  // before that point, never bytes of another block).
  bool readBlock(uint64_t offset, uint32_t size, std::string& block) {
    return readBlockStart(offset, size, size, block);
  }

  // The same, but only the block's first `keep` bytes are read into `block`; the result
  // still tells whether all `size` bytes exist (and the part read was read whole). A block
  // of any claimed size then costs no more than `keep` bytes of memory.
  virtual bool readBlockStart(uint64_t offset, uint32_t size, uint32_t keep,
                              std::string& block) = 0;

  // A hint that the block at `offset` is read next: where the data sit in memory, their
  // first bytes are fetched into the cache meanwhile. Reads nothing, changes nothing.
  virtual void prefetch(uint64_t /*offset*/) {}
};

}  // namespace lexora
