#include "pack/block_packer.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <optional>
#include <span>
#include <thread>
#include <unordered_set>

#include "base/bytes.h"
#include "pack/stored_blocks.h"
#include "pack/transfer_message.h"
#include "platform/anonymous_memory.h"

namespace lexora {
namespace {

constexpr int32_t kMaxRecordLength = 65535;  // a record item's N has two bytes
constexpr size_t kCloseAfter = 3072;         // a block closes once its records pass this
constexpr int64_t kMaxRecordBuffer = 65537;  // the next entry joins only within this
constexpr size_t kMaxHeadwordBytes = 255;    // a key item's length has one byte

using Entry = EntryMap::Entry;

// One entry as it is packed: its place among the map's records, and the length of its data
// after the cuts. The map keeps the length it was loaded with. Eight bytes, since there is
// one per entry.
struct PackedRecord {
  uint32_t index;
  int32_t length;
};

// Which records go into which block, and how long each is packed.
struct BlockPlan {
  LargeVector<PackedRecord> records;  // the entries that are packed, in key order
  LargeVector<uint8_t> counted;       // by record: already counted as shortened
  std::vector<std::span<PackedRecord>> blocks;
  int64_t droppedLongHeadwords = 0;
  int64_t shortened = 0;  // records counted in `counted`
};

// The length of an entry's data (`data`, headword first), now `length` bytes, cut to at
// most `limit` bytes without splitting a UTF-8 sequence: a lead byte whose sequence the cut
// would leave unfinished goes with the rest, so the handheld never shows a broken character
// at the end. Bytes that are not UTF-8 (no lead byte within the last three) are cut where
// the limit falls. Never below the headword and its TAB.
int32_t cutAtCharacter(const Entry& e, const char* data, int32_t length, int32_t limit) {
  const auto floor = static_cast<int32_t>(e.keySize()) + 1;
  if (limit >= length) return length;
  if (limit <= floor) return floor;
  const auto* bytes = reinterpret_cast<const uint8_t*>(data);
  for (int32_t back = 1; back <= 3 && limit - back >= floor; ++back) {
    const uint8_t c = bytes[limit - back];
    if ((c & 0xC0) == 0x80) continue;  // a continuation byte: look further back
    const int32_t sequence = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    return sequence > back ? limit - back : limit;
  }
  return limit;
}

size_t recordItemSize(const Entry& e, int32_t length) {
  return 2 +
         static_cast<size_t>(std::max<int32_t>(0, length - static_cast<int32_t>(e.keySize()) - 1));
}

void appendRecordItem(std::vector<uint8_t>& out, const Entry& e, const char* text, int32_t length) {
  const size_t headword = e.keySize();
  const size_t n = recordItemSize(e, length) - 2;
  appendBigEndian16(out, static_cast<uint16_t>(n));
  const auto* data = reinterpret_cast<const uint8_t*>(text);
  // Offset L holds the TAB, which is not packed.
  out.insert(out.end(), data + headword + 1, data + headword + 1 + n);
}

void appendKeyItem(std::vector<uint8_t>& out, const Entry& e, const char* text) {
  out.push_back(static_cast<uint8_t>(e.keySize()));
  const auto* data = reinterpret_cast<const uint8_t*>(text);
  out.insert(out.end(), data, data + e.keySize());
}

// The format's caps: each record's length cut to what a record item holds, and long
// headwords left out, since they cannot be packed at all.
void cutRecords(const LoadedDictionary& dictionary, BlockPlan& plan) {
  const std::span<const Entry> entries = dictionary.entries.entries();
  plan.records.reserve(entries.size());
  plan.counted.reserve(entries.size());
  // Keys of entries the reader had to cut; the packer may cut the same entries again, and
  // the user is told once per entry, whichever cut it.
  const std::unordered_set<std::string_view> cutByReader(dictionary.shortenedKeys.begin(),
                                                         dictionary.shortenedKeys.end());
  for (size_t i = 0; i < entries.size(); ++i) {
    const Entry& e = entries[i];
    if (e.keySize() > kMaxHeadwordBytes) {
      // Shortening the headword would break the key order the handheld relies on, and a
      // key item cannot say more than 255 bytes; the entry is left out and counted.
      ++plan.droppedLongHeadwords;
      continue;
    }
    const bool cut = e.length > kMaxRecordLength || cutByReader.contains(e.key());
    // Where a long record is cut exactly (a character's end, up to three bytes before the
    // cap) is settled when its bytes are at hand; no block closes differently for it, since
    // a record of the cap's length closes its block whatever it is cut to.
    plan.records.push_back({static_cast<uint32_t>(i), std::min(e.length, kMaxRecordLength)});
    plan.counted.push_back(cut ? 1 : 0);
    if (cut) ++plan.shortened;
  }
}

// Cuts the records into blocks by the closing rules. The rule for the next entry looks at
// the length it was loaded with, not the one it is packed with.
void closeBlocks(std::span<const Entry> entries, BlockPlan& plan) {
  const std::span<PackedRecord> records(plan.records);
  size_t first = 0, recordBytes = 0, keys = 0;
  for (size_t i = 0; i < records.size(); ++i) {
    const Entry& e = entries[records[i].index];
    recordBytes += recordItemSize(e, records[i].length);
    keys += 1 + e.keySize();
    const bool hasNext = i + 1 < records.size();
    const Entry* next = hasNext ? &entries[records[i + 1].index] : nullptr;
    bool open = recordBytes <= kCloseAfter && hasNext &&
                next->length + static_cast<int64_t>(recordBytes) <= kMaxRecordBuffer;
    // The key buffer has no 3,072-byte rule of its own; long headwords with short
    // explanations could otherwise pass a key message's 16-bit length.
    if (open && keys + 1 + next->keySize() > kMaxMessagePayload) open = false;
    if (!open) {
      plan.blocks.push_back(records.subspan(first, i + 1 - first));
      first = i + 1;
      recordBytes = keys = 0;
    }
  }
}

// Planning is cheap and serial: one pass over the records for the cuts, one for the blocks.
void planBlocks(const LoadedDictionary& dictionary, BlockPlan& plan) {
  cutRecords(dictionary, plan);
  closeBlocks(dictionary.entries.entries(), plan);
}

// Makes one zlib stream at a time, level 9, window 15, memory level 8, default strategy,
// each in a single deflate call. The compressor's state (some 260 KiB) is made once and
// reset between streams, which gives the same bytes as a fresh one: thousands of blocks
// then cost no allocation each.
class Deflater {
 public:
  Deflater() = default;
  ~Deflater() {
    if (ready_) deflateEnd(&z_);
  }
  Deflater(const Deflater&) = delete;
  Deflater& operator=(const Deflater&) = delete;

  // Compresses `input` into `output` (its whole content). False only when zlib cannot
  // start (no memory).
  bool compress(const std::vector<uint8_t>& input, std::vector<uint8_t>& output) {
    if (!ready_) {
      if (deflateInit2(&z_, 9, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
      ready_ = true;
    } else if (deflateReset(&z_) != Z_OK) {
      return false;
    }
    // Twice the input, or the bound when that is larger (tiny inputs): always room enough
    // for the complete stream, so one call with Z_FINISH ends it.
    const uLong bound = deflateBound(&z_, static_cast<uLong>(input.size()));
    output.resize(std::max<size_t>(2 * input.size(), bound));
    z_.next_in = const_cast<Bytef*>(input.data());
    z_.avail_in = static_cast<uInt>(input.size());
    z_.next_out = output.data();
    z_.avail_out = static_cast<uInt>(output.size());
    const int result = deflate(&z_, Z_FINISH);
    output.resize(z_.total_out);
    return result == Z_STREAM_END;
  }

 private:
  z_stream z_{};
  bool ready_ = false;
};

// Compresses a range of records into blocks. Normally one block; when the stream would not
// fit a record message (incompressible data near the 65,537-byte limit) the range is split
// in two, and a lone record is shortened until its stream fits.
class BlockCompressor {
 public:
  BlockCompressor(std::span<const Entry> entries, const EntryMap::TextWindow& texts,
                  BlockPlan& plan, std::atomic<int64_t>& shortened)
      : entries_(entries), texts_(texts), plan_(plan), shortened_(shortened) {}

  bool pack(std::span<PackedRecord> range, std::vector<PackedBlock>& out) {
    records_.clear();
    for (PackedRecord& r : range) {
      const Entry& e = entries_[r.index];
      const char* text = texts_.text(r.index).data();
      if (e.length > kMaxRecordLength && r.length == kMaxRecordLength)
        r.length = cutAtCharacter(e, text, e.length, kMaxRecordLength);
      appendRecordItem(records_, e, text, r.length);
    }
    if (!deflater_.compress(records_, stream_)) return false;
    // Key and record messages carry 16-bit lengths: neither buffer of a block may pass that.
    if (fitsMessage(stream_.size())) {
      PackedBlock block;
      for (const PackedRecord& r : range)
        appendKeyItem(block.keyBytes, entries_[r.index], texts_.text(r.index).data());
      block.packedBytes.assign(stream_.begin(), stream_.end());
      out.push_back(std::move(block));
      return true;
    }
    if (range.size() > 1) {
      const size_t half = range.size() / 2;
      return pack(range.first(half), out) && pack(range.subspan(half), out);
    }
    // A single record that deflate cannot shrink enough: give up the excess, plus the
    // stream's own overhead, and try again (at most a few rounds).
    PackedRecord& r = range[0];
    const auto excess = static_cast<int32_t>(stream_.size() - kMaxMessagePayload);
    r.length = cutAtCharacter(entries_[r.index], texts_.text(r.index).data(), r.length,
                              r.length - excess - 64);
    // Each compressor touches only its own records and their marks: no two threads share one.
    uint8_t& mark = plan_.counted[static_cast<size_t>(range.data() - plan_.records.data())];
    if (!mark) {
      mark = 1;
      ++shortened_;
    }
    return pack(range, out);
  }

 private:
  std::span<const Entry> entries_;
  const EntryMap::TextWindow& texts_;
  BlockPlan& plan_;
  std::atomic<int64_t>& shortened_;
  Deflater deflater_;
  std::vector<uint8_t> records_, stream_;
};

// Compresses blocks [first, last) of the plan, `threads` at a time, into `packed`; the
// bytes equal a one-by-one compression. False when zlib fails.
bool compressRun(std::span<const Entry> entries, const EntryMap::TextWindow& texts, BlockPlan& plan,
                 size_t first, size_t last, unsigned threads, std::atomic<int64_t>& shortened,
                 std::vector<std::vector<PackedBlock>>& packed) {
  std::atomic<size_t> nextBlock{first};
  std::atomic<bool> failed{false};
  auto worker = [&] {
    BlockCompressor compressor(entries, texts, plan, shortened);
    for (size_t b; !failed && (b = nextBlock++) < last;) {
      if (!compressor.pack(plan.blocks[b], packed[b])) failed = true;
    }
  };
  // A thread is worth starting only for a few blocks' work.
  const size_t count = std::min<size_t>(std::max(1u, threads), (last - first + 7) / 8);
  std::vector<std::jthread> pool;
  for (size_t t = 1; t < count; ++t) pool.emplace_back(worker);
  worker();
  pool.clear();  // joins
  return !failed;
}

// Where packed blocks go as they are made: memory, or a scratch file for a dictionary whose
// data are on disk too. Should the disk refuse more, the blocks stored so far come back
// into memory and the rest stay there: nothing is lost.
class PackedOutput {
 public:
  explicit PackedOutput(bool toDisk) : stored_(toDisk ? StoredBlocks::create() : nullptr) {}

  // False only when the blocks stored cannot be read back.
  bool add(PackedBlock&& block) {
    if (stored_ && !stored_->add(block) && !bringBack()) return false;
    if (!stored_) blocks_.push_back(std::move(block));
    return true;
  }

  // False only when the blocks stored cannot be read back.
  bool finish(PackedDictionary& dictionary) {
    if (stored_ && !stored_->flush() && !bringBack()) return false;
    dictionary.blocks = std::move(blocks_);
    dictionary.stored = std::move(stored_);
    return true;
  }

 private:
  bool bringBack() {
    blocks_.resize(stored_->size());
    for (size_t i = 0; i < blocks_.size(); ++i) {
      if (!stored_->read(i, blocks_[i])) return false;
    }
    stored_.reset();
    return true;
  }

  std::unique_ptr<StoredBlocks> stored_;
  std::vector<PackedBlock> blocks_;
};

// Compresses every planned block and appends them to `out` in plan order. Records whose
// data wait in the map's scratch file are read back a run of blocks at a time, as many as
// a window holds. While one run is compressed, a thread of its own stores the run before
// it and reads the texts of the run after it, so the disk's work overlaps the compressors'
// rather than stopping them; two windows are then held, each a sixteenth of the data away
// (8 MiB at least): a few sweeps over the file whatever order the records lie in, for
// windows far smaller than the dictionary. False when zlib fails or the file cannot be read
// back.
bool compressBlocks(const EntryMap& map, BlockPlan& plan, const PackOptions& options,
                    PackResult& out) {
  const std::span<const Entry> entries = map.entries();
  const std::span<const std::span<PackedRecord>> blocks(plan.blocks);
  const auto recordsOf = [&](size_t b) {
    return std::pair<size_t, size_t>(blocks[b].front().index, blocks[b].back().index + 1);
  };
  const uint64_t away = map.awayBytes(0, entries.size());
  const uint64_t window = options.windowBytes != 0
                              ? options.windowBytes
                              : std::max<uint64_t>(uint64_t{8} << 20, away / 16);
  // The end of the run that starts at block `first`.
  const auto runFrom = [&](size_t first) {
    size_t last = first;
    for (uint64_t bytes = 0; last < blocks.size(); ++last) {
      const auto [from, to] = recordsOf(last);
      const uint64_t more = map.awayBytes(from, to);
      if (last > first && bytes + more > window) break;
      bytes += more;
    }
    return last;
  };
  const auto readRun = [&](size_t first, size_t last, EntryMap::TextWindow& texts) {
    return first == last ||
           map.readTexts(recordsOf(first).first, recordsOf(last - 1).second, texts);
  };
  std::vector<std::vector<PackedBlock>> packed(blocks.size());
  std::atomic<int64_t> shortened{plan.shortened};
  // A dictionary too large for memory is packed to disk as well.
  PackedOutput output(away > 0);
  const auto store = [&](size_t first, size_t last) {
    for (size_t b = first; b < last; ++b) {
      for (PackedBlock& block : packed[b]) {
        if (!output.add(std::move(block))) return false;
      }
      packed[b] = {};
    }
    return true;
  };
  EntryMap::TextWindow texts[2];
  size_t stored = 0, first = 0, last = runFrom(0);
  if (!readRun(first, last, texts[0])) return false;
  for (int k = 0; first < blocks.size(); k ^= 1) {
    const size_t next = runFrom(last);
    bool diskDone = true;
    const auto diskWork = [&] {
      diskDone = store(stored, first) && readRun(last, next, texts[k ^ 1]);
    };
    {
      // Nothing for the disk in a dictionary held in memory: one run, no thread.
      std::optional<std::jthread> disk;
      if (stored < first || last < next) disk.emplace(diskWork);
      if (!compressRun(entries, texts[k], plan, first, last, options.threads, shortened, packed))
        return false;  // the thread is joined on the way out
    }
    if (!diskDone) return false;
    stored = first;
    first = last;
    last = next;
  }
  if (!store(stored, blocks.size())) return false;
  out.shortenedRecords = shortened;
  return output.finish(out.dictionary);
}

}  // namespace

std::optional<PackResult> packDictionary(const LoadedDictionary& dictionary,
                                         const PackOptions& options) {
  PackResult result;
  result.dictionary.name = dictionary.name;
  BlockPlan plan;
  planBlocks(dictionary, plan);
  result.droppedLongHeadwords = plan.droppedLongHeadwords;
  // Compressing is where the time goes, so that part runs on several threads.
  if (!compressBlocks(dictionary.entries, plan, options, result)) {
    return std::nullopt;
  }
  return result;
}

size_t blockCount(const PackedDictionary& dictionary) {
  return dictionary.stored ? dictionary.stored->size() : dictionary.blocks.size();
}

int32_t packedSize(const PackedDictionary& dictionary) {
  uint64_t total = dictionary.stored ? dictionary.stored->bytes() : 0;
  for (const PackedBlock& b : dictionary.blocks) total += b.keyBytes.size() + b.packedBytes.size();
  return packedSize(total);
}

int32_t packedSize(uint64_t blockBytes) {
  return static_cast<int32_t>(std::min<uint64_t>(blockBytes, INT32_MAX));
}

}  // namespace lexora
