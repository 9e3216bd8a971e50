// Random access into a dictzip file (.dict.dz): a gzip file whose header carries the
// "RA" extra field (version 1, chunk length, chunk count, each chunk's compressed size),
// and whose deflate stream is flushed at every chunk boundary so that each chunk inflates
// on its own. A block is read by inflating only the chunks it spans.
#pragma once

#include <zlib.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/anonymous_memory.h"
#include "platform/random_access_file.h"

namespace lexora {

class ScratchFile;

// The input held in memory (tests, fuzzing).
class MemoryInput : public RandomAccessInput {
 public:
  explicit MemoryInput(std::string bytes) : bytes_(std::move(bytes)) {}
  uint64_t size() const override { return bytes_.size(); }
  bool readAt(uint64_t offset, char* buffer, size_t size) override {
    if (offset > bytes_.size() || size > bytes_.size() - offset) return false;
    bytes_.copy(buffer, size, static_cast<size_t>(offset));
    return true;
  }

 private:
  std::string bytes_;
};

class DictzipReader {
 public:
  // A reader when `input` is a gzip file with a sound random-access table: version 1, a
  // nonzero chunk length and count, chunks that lie inside the file and end where the gzip
  // trailer begins (or where a short tail begins that inflates to nothing and ends the
  // stream, as `dictzip` writes), and a trailer size that the chunks account for. nullptr
  // otherwise (the caller then decompresses the whole stream). When blocks prove scattered
  // over the file, every chunk is kept inflated: in memory up to `keptInMemoryBytes` of
  // data, in a scratch file beyond.
  static std::unique_ptr<DictzipReader> open(std::unique_ptr<RandomAccessInput> input,
                                             uint64_t keptInMemoryBytes = uint64_t{256} << 20);
  ~DictzipReader();
  DictzipReader(const DictzipReader&) = delete;
  DictzipReader& operator=(const DictzipReader&) = delete;

  // Size of the uncompressed data.
  uint64_t size() const { return size_; }

  enum class Result {
    whole,         // `out` holds every byte of the range that lies within the data
    damagedChunk,  // a chunk is damaged: `out` holds the range's bytes before it
    falseTable,    // the table does not describe the stream: `out` is empty, and the
                   // caller reads the file as a plain gzip stream instead
  };
  // Replaces `out` with the bytes of [offset, offset + size) that lie within the data.
  // Every chunk starts at a full flush, so a damaged chunk costs only the blocks in it.
  Result read(uint64_t offset, uint32_t size, std::string& out);

  // Fetches the first bytes at `offset` into the cache when they are already inflated.
  void prefetch(uint64_t offset) const;

 private:
  DictzipReader() = default;
  enum class Inflated { whole, damaged, endsEarly };
  // The chunk's bytes (chunkSize of them), or nullptr when it does not inflate.
  const char* chunk(size_t index);
  // Whether a failed chunk shows a false table rather than damage in the chunk itself.
  bool tableIsFalse(size_t failedChunk);
  size_t chunkCount() const { return chunkCount_; }
  size_t chunkSize(size_t index) const;
  // Inflates exactly chunkSize(index) bytes into `out`; `whole` only when that is what it
  // holds, `endsEarly` when the deflate stream ends where the table says it goes on.
  Inflated inflateChunk(z_stream& stream, std::string& compressed, size_t index, char* out);
  void keepAllChunks();
  // Inflates every chunk into a scratch file; false (nothing changed but damaged chunks
  // found) when the file cannot be made or written.
  bool keepAllChunksOnDisk();
  Result readFromDisk(uint64_t offset, uint64_t end, std::string& out) const;
  void inflateAhead();
  const char* keptChunk(size_t index);

  std::unique_ptr<RandomAccessInput> input_;
  uint64_t keptInMemoryBytes_ = 0;
  uint32_t chunkLength_ = 0;
  std::vector<uint64_t> chunkOffsets_;  // compressed start of each chunk, then the end
  size_t chunkCount_ = 0;
  uint64_t size_ = 0;
  bool tailEndsStream_ = false;  // the stream ends in bytes after the last chunk

  z_stream stream_{};
  bool streamReady_ = false;
  std::string compressed_;

  // Inflated chunks: normally the few most recently used; see chunk() for when all stay.
  std::vector<std::string> chunks_;
  std::vector<bool> inflatedBefore_;
  std::vector<bool> failed_;  // chunks found damaged, not inflated again
  bool trusted_ = false;      // some chunk inflated whole: the table describes the stream
  bool endedEarly_ = false;   // a chunk ended the stream early: the table is false
  std::deque<size_t> held_;
  size_t capacity_;
  size_t reinflations_ = 0;

  // Once every chunk is kept: all the data, each chunk's state, and the helper threads
  // inflating ahead.
  AnonymousMemory kept_;
  std::unique_ptr<std::atomic<uint8_t>[]> states_;
  std::atomic<size_t> nextChunk_{0};
  std::atomic<bool> stopping_{false};
  std::vector<std::thread> helpers_;
  // Or, for data too large to keep in memory, all of them in a scratch file.
  std::unique_ptr<ScratchFile> onDisk_;
};

}  // namespace lexora
