#include "sources/stardict_data.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "platform/random_access_file.h"
#include "sources/dictzip_reader.h"
#include "sources/gz_file.h"

namespace lexora {
namespace {

// gzread takes an unsigned int; larger blocks are read in pieces of this size.
constexpr uint32_t kMaxGzRead = 1u << 30;
// Pieces in which a gzip stream is decompressed into memory.
constexpr size_t kPieceBytes = 1 << 20;
// How much of a gzip stream without a random-access table is kept in memory. A data file
// is normally far smaller; a hostile one (a few megabytes that inflate to many gigabytes)
// must not exhaust memory, so blocks beyond this point are reached with zlib's own seek.
constexpr uint64_t kMaxRetainedBytes =
    sizeof(size_t) >= 8 ? uint64_t{2} << 30 : uint64_t{256} << 20;

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

  bool readBlock(uint64_t offset, uint32_t size, std::string& block) override {
    block.clear();
    if (size == 0) return true;
    if (offset >= size_) return false;
    const uint64_t existing = std::min<uint64_t>(size, size_ - offset);
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
    return got == size;
  }

 private:
  GzFilePtr file_;
  uint64_t size_;
  uint64_t position_ = 0;
};

// A gzip stream inflated front to back into memory as far as the blocks need it. zlib's
// inflate is driven directly rather than through gzread, which drops the output of a read
// that meets a damaged spot: the bytes before the damage are kept here.
class StreamData : public StarDictData {
 public:
  StreamData(std::unique_ptr<RandomAccessInput> file, std::filesystem::path path)
      : file_(std::move(file)), path_(std::move(path)) {
    ended_ = inflateInit2(&stream_, MAX_WBITS + 16) != Z_OK;
    streamReady_ = !ended_;
    input_.resize(kPieceBytes / 4);
  }
  ~StreamData() override {
    if (streamReady_) inflateEnd(&stream_);
  }

  bool readBlock(uint64_t offset, uint32_t size, std::string& block) override {
    block.clear();
    if (size == 0) return true;
    if (offset > std::numeric_limits<uint64_t>::max() - size) return false;
    const uint64_t end = offset + size;
    decodeUpTo(std::min(end, kMaxRetainedBytes));
    if (end > kMaxRetainedBytes && decoded_ >= kMaxRetainedBytes) {
      return readBeyondRetained(offset, size, block);
    }
    if (offset >= decoded_) return false;
    const uint64_t stop = std::min(end, decoded_);
    block.reserve(static_cast<size_t>(stop - offset));
    for (uint64_t pos = offset; pos < stop;) {
      const std::string& piece = pieces_[static_cast<size_t>(pos / kPieceBytes)];
      const size_t from = static_cast<size_t>(pos % kPieceBytes);
      const size_t take = static_cast<size_t>(std::min<uint64_t>(stop - pos, kPieceBytes - from));
      block.append(piece, from, take);
      pos += take;
    }
    return stop == end;
  }

 private:
  // Fills the pieces until `end` bytes are decoded or the stream ends (or breaks).
  void decodeUpTo(uint64_t end) {
    while (decoded_ < end && !ended_) {
      if (pieces_.empty() || pieces_.back().size() == kPieceBytes) {
        pieces_.emplace_back();
        pieces_.back().reserve(kPieceBytes);
      }
      std::string& piece = pieces_.back();
      const size_t had = piece.size();
      piece.resize(kPieceBytes);
      stream_.next_out = reinterpret_cast<Bytef*>(piece.data() + had);
      stream_.avail_out = static_cast<uInt>(kPieceBytes - had);
      inflateSome();
      const size_t produced = kPieceBytes - had - stream_.avail_out;
      piece.resize(had + produced);
      decoded_ += produced;
    }
    if (!pieces_.empty() && pieces_.back().empty()) pieces_.pop_back();
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

  // Past the retained part the data is reached with zlib's own seek: forward from where
  // the handle stands, or from the start of the stream when the block lies before that.
  bool readBeyondRetained(uint64_t offset, uint32_t size, std::string& block) {
    if (!far_) far_ = openGzFile(path_);
    if (!far_ || offset > static_cast<uint64_t>(std::numeric_limits<z_off_t>::max())) {
      return false;
    }
    if (gzseek(far_.get(), static_cast<z_off_t>(offset), SEEK_SET) < 0) return false;
    // Grown as the bytes arrive, so that a size taken from the index is never trusted
    // for an allocation.
    block.resize(std::min<size_t>(size, kPieceBytes));
    uint64_t got = 0;
    while (true) {
      const uint64_t n = gzReadUpTo(far_.get(), block.data() + got, block.size() - got);
      got += n;
      if (got < block.size() || got == size) break;
      block.resize(static_cast<size_t>(std::min<uint64_t>(size, got * 2)));
    }
    block.resize(static_cast<size_t>(got));
    return got == size;
  }

  std::unique_ptr<RandomAccessInput> file_;
  uint64_t read_ = 0;  // how far the file has been read
  std::filesystem::path path_;
  z_stream stream_{};
  bool streamReady_ = false;
  std::string input_;
  std::vector<std::string> pieces_;
  uint64_t decoded_ = 0;
  bool ended_ = false;
  GzFilePtr far_;
};

// A dictzip file; should its table prove false, the stream is decompressed instead.
class DictzipData : public StarDictData {
 public:
  DictzipData(std::unique_ptr<DictzipReader> reader, std::filesystem::path path)
      : reader_(std::move(reader)), path_(std::move(path)) {}

  bool readBlock(uint64_t offset, uint32_t size, std::string& block) override {
    if (reader_) {
      switch (reader_->read(offset, size, block)) {
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
      fallback_ = std::make_unique<StreamData>(std::move(file), path_);
    }
    if (!fallback_) {
      block.clear();
      return false;
    }
    return fallback_->readBlock(offset, size, block);
  }

  void prefetch(uint64_t offset) override {
    if (reader_) reader_->prefetch(offset);
  }

 private:
  std::unique_ptr<DictzipReader> reader_;
  std::unique_ptr<StreamData> fallback_;
  std::filesystem::path path_;
};

}  // namespace

std::unique_ptr<StarDictData> StarDictData::open(const std::filesystem::path& path) {
  std::unique_ptr<RandomAccessInput> file = openRandomAccess(path);
  if (!file) return nullptr;
  unsigned char magic[2] = {0, 0};
  const bool gzip =
      file->readAt(0, reinterpret_cast<char*>(magic), 2) && magic[0] == 0x1F && magic[1] == 0x8B;
  if (gzip) {
    if (std::unique_ptr<RandomAccessInput> second = openRandomAccess(path)) {
      if (auto reader = DictzipReader::open(std::move(second))) {
        return std::make_unique<DictzipData>(std::move(reader), path);
      }
    }
    return std::make_unique<StreamData>(std::move(file), path);
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
