// Packed blocks kept in a scratch file rather than in memory: the output of a dictionary
// too large to hold twice, read back one block at a time when it is written or sent.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace lexora {

class ScratchFile;
struct PackedBlock;

class StoredBlocks {
 public:
  // An empty store, or nullptr when no scratch file can be made.
  static std::unique_ptr<StoredBlocks> create();
  ~StoredBlocks();
  StoredBlocks(const StoredBlocks&) = delete;
  StoredBlocks& operator=(const StoredBlocks&) = delete;

  // Appends a block; false when the disk refuses it (nothing is then added).
  bool add(const PackedBlock& block);
  size_t size() const { return blocks_.size(); }
  // The key and record bytes of all blocks together.
  uint64_t bytes() const { return bytes_; }
  // Block `index` into `out`; false when it cannot be read back. Safe from several threads.
  bool read(size_t index, PackedBlock& out) const;

 private:
  explicit StoredBlocks(std::unique_ptr<ScratchFile> file);

  struct Place {
    uint64_t offset;
    uint16_t keySize;
    uint16_t packedSize;
  };
  std::unique_ptr<ScratchFile> file_;
  std::vector<Place> blocks_;
  uint64_t bytes_ = 0;
};

}  // namespace lexora
