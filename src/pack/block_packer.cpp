#include "pack/block_packer.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <thread>
#include <unordered_set>

#include "pack/transfer_message.h"
#include "platform/anonymous_memory.h"
#include "platform/bytes.h"

namespace lexora {
namespace {

constexpr int32_t kMaxRecordLength = 65535;  // a record item's N has two bytes
constexpr size_t kCloseAfter = 3072;         // a block closes once its records pass this
constexpr int64_t kMaxRecordBuffer = 65537;  // the next entry joins only within this
constexpr size_t kMaxHeadwordBytes = 255;    // a key item's length has one byte

using Entry = EntryMap::Entry;

// The length of `e`'s data cut to at most `limit` bytes without splitting a UTF-8 sequence:
// a lead byte whose sequence the cut would leave unfinished goes with the rest, so the
// handheld never shows a broken character at the end. Bytes that are not UTF-8 (no lead
// byte within the last three) are cut where the limit falls. Never below the headword and
// its TAB.
int32_t cutAtCharacter(const Entry& e, int32_t limit) {
  const auto floor = static_cast<int32_t>(e.keySize()) + 1;
  if (limit >= e.length) return e.length;
  if (limit <= floor) return floor;
  const auto* data = reinterpret_cast<const uint8_t*>(e.data());
  for (int32_t back = 1; back <= 3 && limit - back >= floor; ++back) {
    const uint8_t c = data[limit - back];
    if ((c & 0xC0) == 0x80) continue;  // a continuation byte: look further back
    const int32_t sequence = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    return sequence > back ? limit - back : limit;
  }
  return limit;
}

size_t recordItemSize(const Entry& e) {
  return 2 + static_cast<size_t>(
                 std::max<int32_t>(0, e.length - static_cast<int32_t>(e.keySize()) - 1));
}

void appendRecordItem(std::vector<uint8_t>& out, const Entry& e) {
  const size_t headword = e.keySize();
  const size_t n = recordItemSize(e) - 2;
  appendBigEndian16(out, static_cast<uint16_t>(n));
  const auto* data = reinterpret_cast<const uint8_t*>(e.data());
  // Offset L holds the TAB, which is not packed.
  out.insert(out.end(), data + headword + 1, data + headword + 1 + n);
}

void appendKeyItem(std::vector<uint8_t>& out, const Entry& e) {
  out.push_back(static_cast<uint8_t>(e.keySize()));
  const auto* data = reinterpret_cast<const uint8_t*>(e.data());
  out.insert(out.end(), data, data + e.keySize());
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

// Compresses the entries [first, last) into blocks. Normally one block; when the stream
// would not fit a record message (incompressible data near the 65,537-byte limit) the
// range is split in two, and a lone entry is shortened until its stream fits.
class BlockCompressor {
 public:
  // `counted` marks, by position in `all`, the entries already counted as shortened.
  BlockCompressor(std::atomic<int64_t>& shortened, Entry* const* all, LargeVector<uint8_t>& counted)
      : shortened_(shortened), all_(all), counted_(counted) {}

  bool pack(std::span<Entry*> range, std::vector<PackedBlock>& out) {
    records_.clear();
    for (Entry* e : range) appendRecordItem(records_, *e);
    if (!deflater_.compress(records_, stream_)) return false;
    // Key and record messages carry 16-bit lengths: neither buffer of a block may pass that.
    if (fitsMessage(stream_.size())) {
      PackedBlock block;
      for (Entry* e : range) appendKeyItem(block.keyBytes, *e);
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
    Entry& e = *range[0];
    const auto excess = static_cast<int32_t>(stream_.size() - kMaxMessagePayload);
    e.length = cutAtCharacter(e, e.length - excess - 64);
    // Each compressor touches only its own entries' marks: no two threads share one.
    uint8_t& mark = counted_[static_cast<size_t>(range.data() - all_)];
    if (!mark) {
      mark = 1;
      ++shortened_;
    }
    return pack(range, out);
  }

 private:
  std::atomic<int64_t>& shortened_;
  Entry* const* all_;
  LargeVector<uint8_t>& counted_;
  Deflater deflater_;
  std::vector<uint8_t> records_, stream_;
};

}  // namespace

std::optional<PackResult> packDictionary(LoadedDictionary& dictionary) {
  PackResult result;
  result.dictionary.name = dictionary.name;

  // The format's caps, applied to the map itself; long headwords cannot be packed at all.
  // One of each per entry, so for millions of entries they are large.
  LargeVector<Entry*> kept;
  LargeVector<int32_t> originalLength;
  LargeVector<uint8_t> counted;  // entries already counted as shortened
  int64_t shortenedByCap = 0;
  const auto entries = dictionary.entries.entries();
  kept.reserve(entries.size());
  originalLength.reserve(entries.size());
  counted.reserve(entries.size());
  // Keys of entries the reader had to cut; the packer may cut the same entries again, and
  // the user is told once per entry, whichever cut it.
  const std::unordered_set<std::string_view> cutByReader(dictionary.shortenedKeys.begin(),
                                                         dictionary.shortenedKeys.end());
  for (Entry& e : entries) {
    if (e.keySize() > kMaxHeadwordBytes) {
      // Shortening the headword would break the key order the handheld relies on, and a
      // key item cannot say more than 255 bytes; the entry is left out and counted.
      ++result.droppedLongHeadwords;
      continue;
    }
    originalLength.push_back(e.length);
    const bool cut = e.length > kMaxRecordLength || cutByReader.contains(e.key());
    e.length = cutAtCharacter(e, kMaxRecordLength);
    counted.push_back(cut ? 1 : 0);
    if (cut) ++shortenedByCap;
    kept.push_back(&e);
  }

  // Cut the entries into blocks by the closing rules. Planning is cheap and serial;
  // compressing is where the time goes, so that part runs on every core.
  std::vector<std::span<Entry*>> plans;
  size_t first = 0, records = 0, keys = 0;
  for (size_t i = 0; i < kept.size(); ++i) {
    records += recordItemSize(*kept[i]);
    keys += 1 + kept[i]->keySize();
    const bool hasNext = i + 1 < kept.size();
    bool open = records <= kCloseAfter && hasNext &&
                originalLength[i + 1] + static_cast<int64_t>(records) <= kMaxRecordBuffer;
    // The key buffer has no 3,072-byte rule of its own; long headwords with short
    // explanations could otherwise pass a key message's 16-bit length.
    if (open && keys + 1 + kept[i + 1]->keySize() > kMaxMessagePayload) open = false;
    if (!open) {
      plans.push_back(std::span<Entry*>(kept).subspan(first, i + 1 - first));
      first = i + 1;
      records = keys = 0;
    }
  }

  std::vector<std::vector<PackedBlock>> packed(plans.size());
  std::atomic<size_t> nextPlan{0};
  std::atomic<bool> failed{false};
  std::atomic<int64_t> shortened{shortenedByCap};
  auto worker = [&] {
    BlockCompressor compressor(shortened, kept.data(), counted);
    for (size_t p; !failed && (p = nextPlan++) < plans.size();) {
      if (!compressor.pack(plans[p], packed[p])) failed = true;
    }
  };
  const size_t threads =
      std::min<size_t>(std::max(1u, std::thread::hardware_concurrency()), (plans.size() + 7) / 8);
  std::vector<std::jthread> pool;
  for (size_t t = 1; t < threads; ++t) pool.emplace_back(worker);
  worker();
  pool.clear();  // joins
  if (failed) return std::nullopt;

  size_t blockCount = 0;
  for (const auto& p : packed) blockCount += p.size();
  result.dictionary.blocks.reserve(blockCount);
  for (auto& p : packed) {
    for (auto& block : p) result.dictionary.blocks.push_back(std::move(block));
  }
  result.shortenedRecords = shortened;
  return result;
}

int32_t packedSize(const PackedDictionary& dictionary) {
  uint64_t total = 0;
  for (const PackedBlock& b : dictionary.blocks) total += b.keyBytes.size() + b.packedBytes.size();
  return packedSize(total);
}

int32_t packedSize(uint64_t blockBytes) {
  return static_cast<int32_t>(std::min<uint64_t>(blockBytes, INT32_MAX));
}

}  // namespace lexora
