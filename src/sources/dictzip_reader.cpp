#include "sources/dictzip_reader.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>
#include <system_error>
#include <thread>

#include "platform/scratch_file.h"

namespace lexora {
namespace {

// The chunks kept inflated while blocks are read in (nearly) data-file order.
constexpr size_t kRecentChunks = 8;
// After this many chunks had to be inflated a second time, the blocks are evidently
// scattered over the file: from then on every inflated chunk is kept, so that no chunk is
// inflated more than twice and the whole load costs at most about two decompressions of
// the data (and at most the data's size in memory, which a plain decompression needs too).
constexpr size_t kReinflationsBeforeKeepingAll = 16;
// Keeping every chunk is for data that fit in memory comfortably; beyond this (a table can
// claim up to 4 GiB behind a small file) the few recent chunks stay the only ones kept.
constexpr uint64_t kMaxKeptBytes = sizeof(size_t) >= 8 ? uint64_t{2} << 30 : uint64_t{256} << 20;
// The gzip header (with its file name and comment) must lie within this many bytes.
constexpr size_t kMaxHeaderBytes = 1 << 20;
constexpr size_t kTrailerBytes = 8;
// The longest stream-ending tail accepted after the last chunk: a few empty blocks.
constexpr size_t kMaxTailBytes = 64;
// The states of a chunk once every chunk is kept.
constexpr uint8_t kAbsent = 0, kBusy = 1, kReady = 2, kFailed = 3;

unsigned le16(const unsigned char* p) {
  return p[0] | (p[1] << 8);
}

// Writers flush every chunk and then finish the stream on its own: dictzip appends an empty
// final block (03 00), others an empty stored one (01 00 00 FF FF). Such a tail lies outside
// the table; it is accepted when it is short, inflates to nothing and ends the stream exactly
// at the trailer. Anything else means the table does not describe the file.
bool tailEndsStream(RandomAccessInput& input, uint64_t offset, uint64_t size) {
  if (size > kMaxTailBytes) return false;
  unsigned char tail[kMaxTailBytes];
  if (!input.readAt(offset, reinterpret_cast<char*>(tail), static_cast<size_t>(size))) {
    return false;
  }
  z_stream stream{};
  if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return false;
  unsigned char spare;
  stream.next_in = tail;
  stream.avail_in = static_cast<uInt>(size);
  stream.next_out = &spare;
  stream.avail_out = 1;
  const int result = inflate(&stream, Z_FINISH);
  const bool ok = result == Z_STREAM_END && stream.avail_out == 1 && stream.avail_in == 0;
  inflateEnd(&stream);
  return ok;
}

}  // namespace

DictzipReader::~DictzipReader() {
  stopping_ = true;
  for (std::thread& helper : helpers_) helper.join();
  if (streamReady_) inflateEnd(&stream_);
}

std::unique_ptr<DictzipReader> DictzipReader::open(std::unique_ptr<RandomAccessInput> input,
                                                   uint64_t keptInMemoryBytes) {
  const uint64_t fileSize = input->size();
  if (fileSize < 10 + kTrailerBytes) return nullptr;
  std::string header(static_cast<size_t>(std::min<uint64_t>(fileSize, kMaxHeaderBytes)), '\0');
  if (!input->readAt(0, header.data(), header.size())) return nullptr;
  const auto* h = reinterpret_cast<const unsigned char*>(header.data());
  const size_t headerSize = header.size();
  const unsigned flags = h[3];
  if (h[0] != 0x1F || h[1] != 0x8B || h[2] != 8 || (flags & 0xE0) != 0) return nullptr;
  if ((flags & 0x04) == 0 || headerSize < 12) return nullptr;  // no extra field

  const size_t extraLength = le16(h + 10);
  size_t pos = 12;
  if (extraLength > headerSize - pos) return nullptr;
  const size_t extraEnd = pos + extraLength;

  auto reader = std::unique_ptr<DictzipReader>(new DictzipReader());
  bool found = false;
  std::vector<uint32_t> sizes;
  while (extraEnd - pos >= 4) {
    const unsigned char id1 = h[pos], id2 = h[pos + 1];
    const size_t length = le16(h + pos + 2);
    pos += 4;
    if (length > extraEnd - pos) return nullptr;
    if (id1 == 'R' && id2 == 'A' && !found) {
      if (length < 6) return nullptr;
      const unsigned version = le16(h + pos);
      const unsigned chunkLength = le16(h + pos + 2);
      const size_t chunkCount = le16(h + pos + 4);
      if (version != 1 || chunkLength == 0 || chunkCount == 0) return nullptr;
      if (length < 6 + 2 * chunkCount) return nullptr;
      sizes.resize(chunkCount);
      for (size_t i = 0; i < chunkCount; ++i) sizes[i] = le16(h + pos + 6 + 2 * i);
      reader->chunkLength_ = chunkLength;
      found = true;
    }
    pos += length;
  }
  if (!found) return nullptr;
  pos = extraEnd;
  for (unsigned flag : {0x08u, 0x10u}) {  // file name, then comment: NUL-terminated
    if ((flags & flag) == 0) continue;
    const void* nul = std::memchr(h + pos, 0, headerSize - pos);
    if (nul == nullptr) return nullptr;
    pos = static_cast<const unsigned char*>(nul) - h + 1;
  }
  if ((flags & 0x02) != 0) pos += 2;  // header CRC
  if (pos > headerSize) return nullptr;

  // The chunks must tile the compressed data, up to the 8-byte trailer or to a short tail
  // that only ends the deflate stream.
  uint64_t offset = pos;
  reader->chunkOffsets_.reserve(sizes.size() + 1);
  for (uint32_t size : sizes) {
    reader->chunkOffsets_.push_back(offset);
    offset += size;
  }
  reader->chunkOffsets_.push_back(offset);
  if (offset + kTrailerBytes > fileSize) return nullptr;
  const uint64_t tailSize = fileSize - kTrailerBytes - offset;
  if (tailSize > 0 && !tailEndsStream(*input, offset, tailSize)) return nullptr;
  reader->tailEndsStream_ = tailSize > 0;

  // The trailer's size (modulo 2^32) must be what the chunks hold: every chunk but the
  // last is full, the last has 1 to chunk-length bytes.
  unsigned char trailer[4];
  if (!input->readAt(fileSize - 4, reinterpret_cast<char*>(trailer), 4)) return nullptr;
  const uint64_t storedSize =
      trailer[0] | (trailer[1] << 8) | (trailer[2] << 16) | (uint64_t{trailer[3]} << 24);
  const uint64_t fullChunks = uint64_t{reader->chunkLength_} * (sizes.size() - 1);
  const uint64_t total = fullChunks + ((storedSize - fullChunks) & 0xFFFFFFFFu);
  if (total <= fullChunks || total > fullChunks + reader->chunkLength_) return nullptr;
  reader->size_ = total;

  if (inflateInit2(&reader->stream_, -MAX_WBITS) != Z_OK) return nullptr;
  reader->streamReady_ = true;
  reader->input_ = std::move(input);
  reader->keptInMemoryBytes_ = keptInMemoryBytes;
  reader->chunks_.resize(sizes.size());
  reader->chunkCount_ = sizes.size();
  reader->inflatedBefore_.resize(sizes.size());
  reader->failed_.resize(sizes.size());
  reader->capacity_ = kRecentChunks;
  return reader;
}

size_t DictzipReader::chunkSize(size_t index) const {
  return index + 1 == chunkCount() ? static_cast<size_t>(size_ - uint64_t{chunkLength_} * index)
                                   : chunkLength_;
}

DictzipReader::Inflated DictzipReader::inflateChunk(z_stream& stream, std::string& compressed,
                                                    size_t index, char* out) {
  const uint64_t begin = chunkOffsets_[index];
  const size_t compressedSize = static_cast<size_t>(chunkOffsets_[index + 1] - begin);
  const size_t expected = chunkSize(index);
  compressed.resize(compressedSize);
  if (!input_->readAt(begin, compressed.data(), compressedSize)) return Inflated::damaged;
  inflateReset(&stream);
  stream.next_in = reinterpret_cast<Bytef*>(compressed.data());
  stream.avail_in = static_cast<uInt>(compressedSize);
  stream.next_out = reinterpret_cast<Bytef*>(out);
  stream.avail_out = static_cast<uInt>(expected);
  int result = inflate(&stream, Z_SYNC_FLUSH);
  // A stream that ends short of the chunk's length (the trailer's size is false), or in the
  // last chunk where a tail is to end it, is not described by the table.
  if (result == Z_STREAM_END &&
      (stream.avail_out != 0 || (tailEndsStream_ && index + 1 == chunkCount()))) {
    return Inflated::endsEarly;
  }
  if (stream.avail_out != 0) return Inflated::damaged;  // too short
  if (result == Z_OK) {
    // Full: one more byte of room shows a chunk that inflates too long.
    unsigned char spare;
    stream.next_out = &spare;
    stream.avail_out = 1;
    result = inflate(&stream, Z_SYNC_FLUSH);
    if (stream.avail_out == 0) return Inflated::damaged;
    if (result == Z_BUF_ERROR) result = Z_OK;  // nothing more to give, as it should be
  }
  return (result == Z_OK || result == Z_STREAM_END) && stream.avail_in == 0 ? Inflated::whole
                                                                            : Inflated::damaged;
}

void DictzipReader::keepAllChunks() {
  // Beyond its limit the data go to a scratch file rather than memory: a dictionary of
  // gigabytes then costs a positioned read a block, and no more memory than its index.
  if (size_ > keptInMemoryBytes_ && keepAllChunksOnDisk()) return;
  // Blocks are read from anywhere in it, so it is mapped apart from the heap (see
  // AnonymousMemory for the large pages this allows).
  AnonymousMemory all = AnonymousMemory::allocate(static_cast<size_t>(size_));
  if (!all) return;  // no room: the recent chunks stay the only ones kept
  kept_ = std::move(all);
  states_ = std::make_unique<std::atomic<uint8_t>[]>(chunkCount());
  for (size_t i = 0; i < chunkCount(); ++i) {
    const bool held = !chunks_[i].empty();
    if (held)
      std::memcpy(kept_.data() + uint64_t{chunkLength_} * i, chunks_[i].data(), chunkSize(i));
    states_[i].store(held ? kReady : kAbsent, std::memory_order_relaxed);
  }
  chunks_ = std::vector<std::string>();
  held_.clear();
  // Helpers inflate the chunks front to back while this thread goes on with the blocks,
  // inflating itself any chunk it reaches first.
  const unsigned cores = std::thread::hardware_concurrency();
  try {
    for (unsigned t = 1; t < std::min(cores, 8u); ++t) {
      helpers_.emplace_back([this] { inflateAhead(); });
    }
  } catch (const std::system_error&) {
    // Fewer helpers (or none): this thread inflates what they do not.
  }
}

bool DictzipReader::keepAllChunksOnDisk() {
  std::unique_ptr<ScratchFile> file = createScratchFile();
  if (!file) return false;
  // Every chunk once, front to back; a damaged one leaves zeros in its place, never read.
  std::string data;
  for (size_t i = 0; i < chunkCount(); ++i) {
    data.assign(chunkSize(i), '\0');
    if (!failed_[i] && inflateChunk(stream_, compressed_, i, data.data()) != Inflated::whole) {
      failed_[i] = true;
    }
    if (!file->append(data.data(), data.size())) return false;  // a full disk: keep in memory
  }
  // The recent chunks stay: the read under way goes on with them; later reads go to disk.
  onDisk_ = std::move(file);
  return true;
}

DictzipReader::Result DictzipReader::readFromDisk(uint64_t offset, uint64_t end,
                                                  std::string& out) const {
  // Up to the first damaged chunk in the range, as when the chunks are in memory.
  for (auto index = static_cast<size_t>(offset / chunkLength_);
       index * uint64_t{chunkLength_} < end; ++index) {
    if (failed_[index]) {
      end = std::max(offset, uint64_t{chunkLength_} * index);
      out.resize(static_cast<size_t>(end - offset));
      if (!onDisk_->readAt(offset, out.data(), out.size())) out.clear();
      return Result::damagedChunk;
    }
  }
  out.resize(static_cast<size_t>(end - offset));
  if (!onDisk_->readAt(offset, out.data(), out.size())) {
    out.clear();
    return Result::damagedChunk;
  }
  return Result::whole;
}

void DictzipReader::inflateAhead() {
  z_stream stream{};
  if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return;
  std::string compressed;
  for (size_t i; !stopping_.load(std::memory_order_relaxed) && (i = nextChunk_++) < chunkCount();) {
    uint8_t absent = kAbsent;
    if (!states_[i].compare_exchange_strong(absent, kBusy)) continue;
    const bool ok = inflateChunk(stream, compressed, i,
                                 kept_.data() + uint64_t{chunkLength_} * i) == Inflated::whole;
    states_[i].store(ok ? kReady : kFailed, std::memory_order_release);
    states_[i].notify_all();
  }
  inflateEnd(&stream);
}

const char* DictzipReader::keptChunk(size_t index) {
  std::atomic<uint8_t>& state = states_[index];
  char* data = kept_.data() + uint64_t{chunkLength_} * index;
  uint8_t absent = kAbsent;
  if (state.compare_exchange_strong(absent, kBusy)) {
    const bool ok = inflateChunk(stream_, compressed_, index, data) == Inflated::whole;
    state.store(ok ? kReady : kFailed, std::memory_order_release);
    state.notify_all();
  }
  uint8_t now;
  while ((now = state.load(std::memory_order_acquire)) == kBusy) state.wait(kBusy);
  return now == kReady ? data : nullptr;
}

const char* DictzipReader::chunk(size_t index) {
  if (states_) return keptChunk(index);
  std::string& data = chunks_[index];
  if (!data.empty()) return data.data();
  if (failed_[index]) return nullptr;

  if (inflatedBefore_[index] && ++reinflations_ >= kReinflationsBeforeKeepingAll &&
      size_ <= kMaxKeptBytes) {
    keepAllChunks();
    if (states_) return keptChunk(index);
  }
  // The chunk that leaves the cache lends its buffer: no allocation per chunk, which would
  // also scatter freed holes through the heap that the entry map's storage cannot use.
  if (held_.size() >= capacity_) {
    data.swap(chunks_[held_.front()]);
    chunks_[held_.front()].clear();
    held_.pop_front();
  }
  data.resize(chunkSize(index));
  const Inflated result = inflateChunk(stream_, compressed_, index, data.data());
  if (result != Inflated::whole) {
    data = std::string();
    failed_[index] = true;
    if (result == Inflated::endsEarly) endedEarly_ = true;
    return nullptr;
  }
  trusted_ = true;
  inflatedBefore_[index] = true;
  held_.push_back(index);
  return data.data();
}

bool DictzipReader::tableIsFalse(size_t failedChunk) {
  if (endedEarly_) return true;
  // A chunk that does not inflate is either damaged or cut where the stream was not
  // flushed. One sound chunk shows the table true; until one has been seen, the nearest
  // chunks on either side are tried (a few, since damage may span neighbours).
  constexpr size_t kProbes = 4;
  for (size_t step = 1; step <= kProbes && !trusted_ && !endedEarly_; ++step) {
    if (failedChunk + step < chunkCount()) chunk(failedChunk + step);
    if (!trusted_ && failedChunk >= step) chunk(failedChunk - step);
  }
  return endedEarly_ || !trusted_;
}

DictzipReader::Result DictzipReader::read(uint64_t offset, uint32_t size, std::string& out) {
  out.clear();
  if (offset >= size_ || size == 0) return Result::whole;
  const uint64_t end = std::min<uint64_t>(size_, offset + size);
  if (onDisk_) return readFromDisk(offset, end, out);
  out.reserve(static_cast<size_t>(end - offset));
  uint64_t pos = offset;
  while (pos < end) {
    const size_t index = static_cast<size_t>(pos / chunkLength_);
    const char* data = chunk(index);
    if (data == nullptr) {
      if (!states_ && tableIsFalse(index)) {
        out.clear();
        return Result::falseTable;
      }
      return Result::damagedChunk;
    }
    const uint64_t chunkStart = uint64_t{chunkLength_} * index;
    const size_t from = static_cast<size_t>(pos - chunkStart);
    const size_t take = static_cast<size_t>(std::min<uint64_t>(end - pos, chunkSize(index) - from));
    out.append(data + from, take);
    pos += take;
  }
  return Result::whole;
}

void DictzipReader::prefetch(uint64_t offset) const {
  if (!states_ || offset >= size_) return;
  const auto index = static_cast<size_t>(offset / chunkLength_);
  if (states_[index].load(std::memory_order_acquire) != kReady) return;
  const char* at = kept_.data() + offset;
#if defined(__GNUC__) || defined(__clang__)
  __builtin_prefetch(at);
  if (offset + 64 < size_) __builtin_prefetch(at + 64);
#else
  (void)at;
#endif
}

}  // namespace lexora
