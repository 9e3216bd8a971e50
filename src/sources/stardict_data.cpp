#include "sources/stardict_data.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <vector>

#include "platform/file.h"
#include "platform/random_access_file.h"
#include "sources/dictzip_reader.h"
#include "sources/gz_file.h"

namespace lexora {
namespace {

// gzread takes an unsigned int; larger blocks are read in pieces of this size.
constexpr uint32_t kMaxGzRead = 1u << 30;
// Pieces in which a gzip stream is decompressed into memory.
constexpr size_t kPieceBytes = 1 << 20;
// Reads up to `size` bytes at the handle's position; returns how many were read.
uint64_t gzReadUpTo(gzFile file, char* buffer, uint64_t size) {
  uint64_t got = 0;
  while (got < size) {
    const auto want = static_cast<unsigned>(std::min<uint64_t>(size - got, kMaxGzRead));
    const int n = gzread(file, buffer + got, want);
    if (n <= 0) break;
    got += static_cast<unsigned>(n);
    if (static_cast<unsigned>(n) < want) break;
  }
  return got;
}

// A plain file read through zlib. Consecutive blocks are read without a seek, so that
// zlib's read buffer serves them.
class PlainData : public StarDictData {
 public:
  PlainData(GzFilePtr file, uint64_t size) : file_(std::move(file)), size_(size) {}

  bool readBlockStart(uint64_t offset, uint32_t size, uint32_t keep, std::string& block) override {
    block.clear();
    if (size == 0) return true;
    if (offset >= size_) return false;
    const uint32_t want = std::min(size, keep);
    const uint64_t existing = std::min<uint64_t>(want, size_ - offset);
    if (offset > static_cast<uint64_t>(std::numeric_limits<z_off_t>::max())) return false;
    if (offset != position_) {
      if (gzseek(file_.get(), static_cast<z_off_t>(offset), SEEK_SET) < 0) {
        position_ = std::numeric_limits<uint64_t>::max();
        return false;
      }
    }
    block.resize(static_cast<size_t>(existing));
    const uint64_t got = gzReadUpTo(file_.get(), block.data(), existing);
    block.resize(static_cast<size_t>(got));
    position_ = offset + got;
    return got == want && size <= size_ - offset;
  }

 private:
  GzFilePtr file_;
  uint64_t size_;
  uint64_t position_ = 0;
};

// The part of a decompressed stream beyond the memory limit. std::tmpfile makes the file
// exclusively, in the system's temporary folder, and it is gone as soon as it is closed
// (on POSIX it is unlinked at once), so nothing is left behind even if the program dies.
class SpillFile {
 public:
  bool append(const char* data, size_t size) {
    if (!file_) file_.reset(std::tmpfile());
    if (!file_ || !seek(size_)) return false;
    if (std::fwrite(data, 1, size, file_.get()) != size) return false;
    size_ += size;
    return true;
  }

  bool readAt(uint64_t offset, char* buffer, size_t size) {
    if (!file_ || offset > size_ || size > size_ - offset || !seek(offset)) return false;
    return std::fread(buffer, 1, size, file_.get()) == size;
  }

 private:
  // fseek takes a long, 32 bits on some systems: far positions are reached in steps. A seek
  // also separates a write from the next read, as the stream requires.
  bool seek(uint64_t offset) {
    if (std::fseek(file_.get(), 0, SEEK_SET) != 0) return false;
    constexpr uint64_t kStep = 1u << 30;
    for (uint64_t left = offset; left > 0;) {
      const uint64_t step = std::min(left, kStep);
      if (std::fseek(file_.get(), static_cast<long>(step), SEEK_CUR) != 0) return false;
      left -= step;
    }
    return true;
  }

  FilePtr file_;
  uint64_t size_ = 0;
};

// A gzip stream inflated front to back, once, as far as the blocks need it: into memory up
// to the memory limit, into a temporary file beyond it. Blocks in any order are then read
// by position; nothing is inflated twice. zlib's inflate is driven directly rather than
// through gzread, which drops the output of a read that meets a damaged spot: the bytes
// before the damage are kept here.
class StreamData : public StarDictData {
 public:
  StreamData(std::unique_ptr<RandomAccessInput> file, const StarDictDataLimits& limits)
      : file_(std::move(file)), limits_(limits) {
    ended_ = inflateInit2(&stream_, MAX_WBITS + 16) != Z_OK;
    streamReady_ = !ended_;
    input_.resize(kPieceBytes / 4);
  }
  ~StreamData() override {
    if (streamReady_) inflateEnd(&stream_);
  }

  bool readBlockStart(uint64_t offset, uint32_t size, uint32_t keep, std::string& block) override {
    block.clear();
    if (size == 0) return true;
    if (offset > std::numeric_limits<uint64_t>::max() - size) return false;
    const uint64_t end = offset + size;
    // Inflated to the block's end all the same: whether the block is whole is part of the
    // answer, and what is inflated once is kept for every later block.
    decodeUpTo(std::min(end, limits_.decodedBytes));
    const uint64_t available = std::min(decoded_, limits_.decodedBytes);
    if (offset >= available) return false;
    const uint64_t stop = std::min(offset + std::min(size, keep), available);
    block.reserve(static_cast<size_t>(stop - offset));
    uint64_t pos = offset;
    for (const uint64_t inMemory = std::min(stop, retained_); pos < inMemory;) {
      const std::string& piece = pieces_[static_cast<size_t>(pos / kPieceBytes)];
      const size_t from = static_cast<size_t>(pos % kPieceBytes);
      const size_t take =
          static_cast<size_t>(std::min<uint64_t>(inMemory - pos, kPieceBytes - from));
      block.append(piece, from, take);
      pos += take;
    }
    if (pos < stop) {
      const size_t had = block.size();
      block.resize(had + static_cast<size_t>(stop - pos));
      if (!spill_.readAt(pos - retained_, block.data() + had, static_cast<size_t>(stop - pos))) {
        block.resize(had);
        return false;
      }
    }
    return available >= end;
  }

  Problem problem() const override { return problem_; }

 private:
  // Inflates until `end` bytes are decoded or the stream ends (or breaks, or the temporary
  // file cannot take more).
  void decodeUpTo(uint64_t end) {
    while (decoded_ < end && !ended_) {
      if (decoded_ < limits_.memoryBytes) {
        if (pieces_.empty() || pieces_.back().size() == kPieceBytes) {
          pieces_.emplace_back();
          pieces_.back().reserve(kPieceBytes);
        }
        std::string& piece = pieces_.back();
        const size_t had = piece.size();
        const auto room = static_cast<size_t>(
            std::min<uint64_t>(kPieceBytes - had, limits_.memoryBytes - decoded_));
        piece.resize(had + room);
        const size_t produced = inflateInto(piece.data() + had, room);
        piece.resize(had + produced);
        decoded_ += produced;
        retained_ = decoded_;
      } else {
        scratch_.resize(kPieceBytes);
        const size_t produced = inflateInto(scratch_.data(), scratch_.size());
        if (produced > 0 && !spill_.append(scratch_.data(), produced)) {
          problem_ = Problem::noTemporarySpace;
          ended_ = true;
          break;
        }
        decoded_ += produced;
      }
    }
    if (!pieces_.empty() && pieces_.back().empty()) pieces_.pop_back();
  }

  // One inflate step into `out`; returns the bytes produced.
  size_t inflateInto(char* out, size_t room) {
    stream_.next_out = reinterpret_cast<Bytef*>(out);
    stream_.avail_out = static_cast<uInt>(room);
    inflateSome();
    return room - stream_.avail_out;
  }

  // One inflate step with input topped up; sets ended_ at the end of the data or at damage.
  void inflateSome() {
    if (stream_.avail_in == 0) {
      const size_t n = readInput();
      if (n == 0) {
        ended_ = true;  // the file ends inside the stream
        return;
      }
    }
    const int result = inflate(&stream_, Z_NO_FLUSH);
    if (result == Z_STREAM_END) {
      // Another gzip member may follow, as gzread would read it; anything else ends the data.
      if (stream_.avail_in == 0) {
        readInput();
      }
      if (stream_.avail_in >= 2 && stream_.next_in[0] == 0x1F && stream_.next_in[1] == 0x8B) {
        inflateReset(&stream_);
      } else {
        ended_ = true;
      }
    } else if (result != Z_OK) {
      ended_ = true;  // damaged data; what was inflated before it stays
    }
  }

  // Reads the next piece of the file into the input buffer; returns its size, 0 at the end
  // of the file (or where it cannot be read).
  size_t readInput() {
    const size_t n = static_cast<size_t>(
        std::min<uint64_t>(input_.size(), file_->size() - std::min(file_->size(), read_)));
    const size_t got = n > 0 && file_->readAt(read_, input_.data(), n) ? n : 0;
    read_ += got;
    stream_.next_in = reinterpret_cast<Bytef*>(input_.data());
    stream_.avail_in = static_cast<uInt>(got);
    return got;
  }

  std::unique_ptr<RandomAccessInput> file_;
  StarDictDataLimits limits_;
  uint64_t read_ = 0;  // how far the file has been read
  z_stream stream_{};
  bool streamReady_ = false;
  std::string input_;
  std::vector<std::string> pieces_;
  uint64_t retained_ = 0;  // bytes held in pieces_, from the start of the data
  uint64_t decoded_ = 0;   // bytes inflated so far: in pieces_, then in spill_
  std::string scratch_;
  SpillFile spill_;
  bool ended_ = false;
  Problem problem_ = Problem::none;
};

// A dictzip file; should its table prove false, the stream is decompressed instead.
class DictzipData : public StarDictData {
 public:
  DictzipData(std::unique_ptr<DictzipReader> reader, std::filesystem::path path,
              const StarDictDataLimits& limits)
      : reader_(std::move(reader)), path_(std::move(path)), limits_(limits) {}

  bool readBlockStart(uint64_t offset, uint32_t size, uint32_t keep, std::string& block) override {
    if (reader_) {
      // Chunks beyond the part kept are not inflated: damage there goes unseen, and costs
      // nothing, since none of their bytes would be kept.
      switch (reader_->read(offset, std::min(size, keep), block)) {
        case DictzipReader::Result::whole:
          return offset < reader_->size() && reader_->size() - offset >= size;
        case DictzipReader::Result::damagedChunk:
          return false;  // only the blocks in that chunk suffer
        case DictzipReader::Result::falseTable:
          break;
      }
      reader_.reset();
      std::unique_ptr<RandomAccessInput> file = openRandomAccess(path_);
      if (!file) {
        block.clear();
        return false;
      }
      fallback_ = std::make_unique<StreamData>(std::move(file), limits_);
    }
    if (!fallback_) {
      block.clear();
      return false;
    }
    return fallback_->readBlockStart(offset, size, keep, block);
  }

  void prefetch(uint64_t offset) override {
    if (reader_) reader_->prefetch(offset);
  }

  Problem problem() const override { return fallback_ ? fallback_->problem() : Problem::none; }

 private:
  std::unique_ptr<DictzipReader> reader_;
  std::unique_ptr<StreamData> fallback_;
  std::filesystem::path path_;
  StarDictDataLimits limits_;
};

}  // namespace

std::unique_ptr<StarDictData> StarDictData::open(const std::filesystem::path& path,
                                                 const StarDictDataLimits& limits) {
  std::unique_ptr<RandomAccessInput> file = openRandomAccess(path);
  if (!file) return nullptr;
  unsigned char magic[2] = {0, 0};
  const bool gzip =
      file->readAt(0, reinterpret_cast<char*>(magic), 2) && magic[0] == 0x1F && magic[1] == 0x8B;
  if (gzip) {
    if (std::unique_ptr<RandomAccessInput> second = openRandomAccess(path)) {
      if (auto reader = DictzipReader::open(std::move(second), limits.memoryBytes)) {
        return std::make_unique<DictzipData>(std::move(reader), path, limits);
      }
    }
    return std::make_unique<StreamData>(std::move(file), limits);
  }
  const uint64_t size = file->size();
  file.reset();
  GzFilePtr plain = openGzFile(path);
  if (!plain) return nullptr;
  // zlib refills its buffer with twice this many bytes after every seek; small refills keep
  // blocks stored out of index order cheap, and in-order reading needs few of them anyway.
  gzbuffer(plain.get(), 1024);
  return std::make_unique<PlainData>(std::move(plain), size);
}

}  // namespace lexora
