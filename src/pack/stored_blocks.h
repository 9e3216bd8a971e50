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

  // Appends a block; false when the disk refuses it (nothing is then added). Blocks are
  // written a megabyte at a time, not one by one.
  bool add(const PackedBlock& block);
  // Writes what add() still holds in memory; false when the disk refuses it (it stays
  // readable, from memory).
  bool flush();
  size_t size() const { return blocks_.size(); }
  // The key and record bytes of all blocks together.
  uint64_t bytes() const { return bytes_; }
  // Block `index` into `out`; false when it cannot be read back. Safe from several threads
  // while nothing is added.
  bool read(size_t index, PackedBlock& out) const;

  // Every block in order, read a megabyte of them at a time: for a pass over them all.
  class Cursor {
   public:
    explicit Cursor(const StoredBlocks& store) : store_(store) {}
    // The next block into `out`; false at the end or when it cannot be read (failed()).
    bool next(PackedBlock& out);
    bool failed() const { return failed_; }

   private:
    const StoredBlocks& store_;
    size_t next_ = 0;
    size_t spanEnd_ = 0;  // blocks [next_, spanEnd_) lie in span_
    uint64_t spanStart_ = 0;
    std::vector<char> span_;
    bool failed_ = false;
  };

 private:
  explicit StoredBlocks(std::unique_ptr<ScratchFile> file);

  struct Place {
    uint64_t offset;
    uint16_t keySize;
    uint16_t packedSize;
  };
  static void take(const char* bytes, const Place& place, PackedBlock& out);

  std::unique_ptr<ScratchFile> file_;
  std::vector<Place> blocks_;
  uint64_t bytes_ = 0;
  std::vector<char> pending_;  // the blocks after the file's end, not yet written
};

}  // namespace lexora
