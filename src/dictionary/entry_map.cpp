#include "dictionary/entry_map.h"

#include <algorithm>
#include <cassert>
#include <climits>
#include <cstring>
#include <new>
#include <type_traits>

#include "platform/anonymous_memory.h"
#include "platform/scratch_file.h"

namespace lexora {

// Bytes are carved from large chunks that never move, so the views handed out stay valid
// for the map's life and a million small allocations become a few dozen. Chunks start at
// 64 KiB and double up to 32 MiB: a small map (a short word list, each fuzz run) then costs
// no large allocation, while a large dictionary's chunks can use large pages.
struct EntryMap::Arena {
  static constexpr size_t kFirstChunk = 64 << 10;
  static constexpr size_t kChunk = 32 << 20;
  // From LargeBlockAllocator: the small first chunks stay on the heap, where the sanitizers
  // watch their ends.
  struct Chunk {
    char* data;
    size_t size;
  };
  std::vector<Chunk> chunks;
  char* next = nullptr;
  size_t left = 0;
  size_t chunkSize = kFirstChunk / 2;

  Arena() = default;
  Arena(const Arena&) = delete;
  Arena& operator=(const Arena&) = delete;
  ~Arena() {
    for (const Chunk& chunk : chunks)
      LargeBlockAllocator<char>().deallocate(chunk.data, chunk.size);
  }

  char* allocate(size_t n) {
    if (n > left) {
      chunkSize = std::min(2 * chunkSize, kChunk);
      const size_t size = std::max(n, chunkSize);
      chunks.reserve(chunks.size() + 1);  // so that the push below cannot lose the chunk
      next = LargeBlockAllocator<char>().allocate(size);
      chunks.push_back({next, size});
      left = size;
    }
    char* p = next;
    next += n;
    left -= n;
    return p;
  }
};

// Data sent away: the scratch file holds those placed below `written`; the chunks after
// that wait in memory, the last one being filled (all of them once the disk refused more:
// then they stay, and nothing is lost). One entry's data never straddle two chunks.
struct EntryMap::Away {
  static constexpr size_t kChunk = 1 << 20;
  struct Chunk {
    uint64_t start;
    size_t used;
    size_t capacity;
    std::unique_ptr<char[]> bytes;
  };
  std::unique_ptr<ScratchFile> file;
  uint64_t written = 0;
  std::vector<Chunk> chunks;
  bool stuck = false;
  // A read back failed (the disk failed under the file): what was merged from it holds
  // zeros, so nothing read from here may be packed.
  bool readFailed = false;

  explicit Away(std::unique_ptr<ScratchFile> scratch) : file(std::move(scratch)) {}

  // Room for `n` bytes, and their place.
  char* reserve(size_t n, uint64_t& place) {
    if (chunks.empty() || chunks.back().capacity - chunks.back().used < n) {
      flush();
      const uint64_t start = chunks.empty() ? written : chunks.back().start + chunks.back().used;
      const size_t capacity = std::max(kChunk, n);
      chunks.push_back({start, 0, capacity, std::make_unique_for_overwrite<char[]>(capacity)});
    }
    Chunk& chunk = chunks.back();
    place = chunk.start + chunk.used;
    char* p = chunk.bytes.get() + chunk.used;
    chunk.used += n;
    return p;
  }

  // Writes the waiting chunks to the file, in order, while the disk takes them.
  void flush() {
    size_t done = 0;
    while (!stuck && done < chunks.size()) {
      if (!file->append(chunks[done].bytes.get(), chunks[done].used)) {
        stuck = true;
        break;
      }
      written += chunks[done].used;
      ++done;
    }
    chunks.erase(chunks.begin(), chunks.begin() + static_cast<ptrdiff_t>(done));
  }

  bool read(uint64_t place, char* out, size_t n) const {
    if (place < written) return file->readAt(place, out, n);
    const auto chunk = std::upper_bound(chunks.begin(), chunks.end(), place,
                                        [](uint64_t p, const Chunk& c) { return p < c.start; });
    if (chunk == chunks.begin()) return false;
    const Chunk& c = *std::prev(chunk);
    if (place - c.start + n > c.used) return false;
    std::memcpy(out, c.bytes.get() + (place - c.start), n);
    return true;
  }
};

namespace {
uint64_t placeOf(const EntryMap::Entry& e) {
  uint64_t place;
  std::memcpy(&place, e.bytes - sizeof place, sizeof place);
  return place;
}
size_t keptSize(const EntryMap::Entry& e) {
  return static_cast<size_t>(std::min(e.length, kKeptEntryBytes));
}
}  // namespace

EntryMap::EntryMap(uint64_t residentBytes)
    : arena_(std::make_unique<Arena>()), residentLeft_(residentBytes) {}
EntryMap::~EntryMap() = default;
EntryMap::EntryMap(EntryMap&&) noexcept = default;
EntryMap& EntryMap::operator=(EntryMap&&) noexcept = default;

EntryMap::Entry EntryMap::store(std::string_view key, std::string_view data) {
  if (data.starts_with(key)) {
    char* p = arena_->allocate(data.size());
    std::memcpy(p, data.data(), data.size());
    return {p, static_cast<uint32_t>(key.size()) | Entry::kKeyInData,
            static_cast<int32_t>(data.size())};
  }
  char* p = arena_->allocate(key.size() + data.size());
  std::memcpy(p, key.data(), key.size());
  if (!data.empty()) std::memcpy(p + key.size(), data.data(), data.size());
  return {p, static_cast<uint32_t>(key.size()), static_cast<int32_t>(data.size())};
}

EntryMap::Entry EntryMap::storeAway(std::string_view key, std::string_view data) {
  uint64_t place;
  char* d = away_->reserve(data.size(), place);
  if (!data.empty()) std::memcpy(d, data.data(), data.size());
  char* k = arena_->allocate(sizeof place + key.size());
  std::memcpy(k, &place, sizeof place);
  std::memcpy(k + sizeof place, key.data(), key.size());
  return {k + sizeof place, static_cast<uint32_t>(key.size()) | Entry::kDataAway,
          static_cast<int32_t>(data.size())};
}

std::string_view EntryMap::readData(const Entry& e, size_t size, std::string& scratch) const {
  if (!e.away()) return {e.data(), size};
  scratch.resize(size);
  // A read that fails leaves zeros and is remembered: readTexts, through which the packer
  // reads, then fails, so the dictionary is reported unpacked rather than packed wrong.
  if (!away_->read(placeOf(e), scratch.data(), size)) {
    std::fill(scratch.begin(), scratch.end(), 0);
    away_->readFailed = true;
  }
  return scratch;
}

// A write after the end of loading is a fault in the caller: a debug build stops at it;
// otherwise it is dropped, since the records may already be in other hands.
bool EntryMap::acceptsWrites() const {
  assert(!frozen_ && "an entry added after the map was frozen");
  return !frozen_;
}

void EntryMap::add(std::u16string_view key, std::string_view entryBytes) {
  if (key.empty() || !acceptsWrites()) return;
  std::string bytes;
  appendKeyBytes(bytes, key);
  addUtf8Key(bytes, entryBytes);
}

EntryMap::Added EntryMap::addUtf8Key(std::string_view key, std::string_view entryBytes) {
  if (key.empty() || !acceptsWrites()) return {};
  // A record's length is a signed 32-bit count; anything beyond could never be packed
  // (records are cut at 65,535 bytes), so an absurdly long entry is cut here instead.
  entryBytes = entryBytes.substr(0, INT32_MAX);
  // So is a key (two bits of its size field are flags): any key over 255 bytes is left out
  // by the packer, cut or not.
  key = key.substr(0, ~(Entry::kKeyInData | Entry::kDataAway));
  const size_t bytes = key.size() + entryBytes.size();
  if (!away_ && mayGoAway_ && bytes > residentLeft_) {
    if (std::unique_ptr<ScratchFile> file = createScratchFile()) {
      away_ = std::make_unique<Away>(std::move(file));
    } else {
      mayGoAway_ = false;  // no temporary folder to write to: all stays in memory
    }
  }
  // Data hardly longer than their key cost less in memory than their place in the file and
  // their key kept apart would: they stay, however large the map (a word list of millions
  // of tiny entries gains nothing from the disk).
  constexpr size_t kAwayFromBytesOverKey = 16;
  if (away_ && entryBytes.size() > key.size() + kAwayFromBytesOverKey) {
    log_.push_back(storeAway(key, entryBytes));
  } else {
    log_.push_back(store(key, entryBytes));
    residentLeft_ -= std::min<uint64_t>(residentLeft_, bytes);
  }
  return {log_.size() - 1, entryBytes.size()};
}

std::string_view EntryMap::addedData(const Added& added, std::string& scratch) const {
  assert(!frozen_ && added.index < log_.size());
  const Entry& e = log_[added.index];
  return readData(e, static_cast<size_t>(e.length), scratch);
}

void EntryMap::freeze() {
  if (frozen_) return;
  frozen_ = true;
  // An empty log has no storage to sort into (its data pointer may be null).
  if (log_.empty()) return;
  // Sort small (prefix, position) pairs rather than the entries: the first eight key bytes,
  // remapped so that plain integer order is UTF-16 order, settle most comparisons without
  // touching the keys. The position breaks ties, so equal keys keep the order of adding.
  // Keys whose first eleven bytes are below 0xED keep those bytes' values in the prefix, so
  // the next three, with the key's size, go in what was the item's padding: ties on the
  // prefix are then settled by that word, and between keys of at most eleven bytes (most
  // headwords) by their sizes, without a look at the keys. Repeated headwords tie often.
  struct Item {
    uint64_t prefix;
    uint32_t position;
    uint32_t tail;  // bytes 8-10 (zeros past the end), then a code for the size
  };
  constexpr size_t kTailEnd = 11;
  constexpr uint32_t kLonger = kTailEnd + 1;  // a size code: plain, and longer than that
  constexpr uint32_t kNoTail = 0xFF;          // a size code: a byte from 0xED in the first 11
  const auto tailOf = [](std::string_view key) {
    uint32_t tail = 0;
    for (size_t i = 0; i < kTailEnd; ++i) {
      const auto byte = i < key.size() ? static_cast<unsigned char>(key[i]) : 0u;
      if (byte >= 0xED) return kNoTail;
      if (i >= 8) tail = (tail << 8) | byte;
    }
    return (tail << 8) | (key.size() <= kTailEnd ? static_cast<uint32_t>(key.size()) : kLonger);
  };
  LargeVector<Item> order(log_.size());
  for (size_t i = 0; i < log_.size(); ++i) {
    const std::string_view key = log_[i].key();
    order[i] = {keySortPrefix(key), static_cast<uint32_t>(i), tailOf(key)};
  }
  std::sort(order.begin(), order.end(), [this](const Item& a, const Item& b) {
    if (a.prefix != b.prefix) return a.prefix < b.prefix;
    const uint32_t sizeA = a.tail & 0xFF, sizeB = b.tail & 0xFF;
    if (sizeA != kNoTail && sizeB != kNoTail) {
      if (a.tail >> 8 != b.tail >> 8) return a.tail >> 8 < b.tail >> 8;
      if (sizeA <= kTailEnd && sizeB <= kTailEnd)
        return sizeA != sizeB ? sizeA < sizeB : a.position < b.position;
    }
    const int c = compareKeys(log_[a.position].key(), log_[b.position].key());
    return c != 0 ? c < 0 : a.position < b.position;
  });
  // Whether each sorted key is the one before it, where the items tell (kSame, kOther), so
  // that merging reads only the keys they cannot tell apart (kLook): a key is far from its
  // neighbours in memory, and most dictionaries have few repeated keys.
  enum : uint8_t { kOther, kSame, kLook };
  LargeVector<uint8_t> repeats(order.size(), kOther);
  for (size_t k = 1; k < order.size(); ++k) {
    const Item& a = order[k - 1];
    const Item& b = order[k];
    if (a.prefix != b.prefix) continue;
    const uint32_t sizeA = a.tail & 0xFF, sizeB = b.tail & 0xFF;
    if (sizeA == kNoTail || sizeB == kNoTail) {
      repeats[k] = kLook;
    } else if (a.tail >> 8 == b.tail >> 8 && sizeA == sizeB) {
      repeats[k] = sizeA <= kTailEnd ? kSame : kLook;  // else both longer than the tail
    }
  }
  // Put the log in that order without a sorted copy of it, which would cost as much memory
  // again: each sorted place's item has served its purpose once its entry is fetched, so
  // the entries are gathered into the items' own storage (an entry fits an item: 16 bytes
  // each on 64-bit builds, 12 in 16 on 32-bit ones) and copied back in one sweep.
  static_assert(sizeof(Entry) <= sizeof(Item) && std::is_trivially_copyable_v<Entry>);
  for (Item& item : order) {
    const Entry e = log_[item.position];
    std::memcpy(static_cast<void*>(&item), &e, sizeof e);
  }
  for (size_t i = 0; i < log_.size(); ++i) {
    std::memcpy(static_cast<void*>(&log_[i]), &order[i], sizeof(Entry));
  }
  order = {};
  size_t out = 0;
  for (size_t i = 0; i < log_.size();) {
    size_t j = i + 1;
    int64_t total = log_[i].length;
    while (j < log_.size() &&
           (repeats[j] == kSame || (repeats[j] == kLook && log_[j].key() == log_[i].key()))) {
      total += 1 + log_[j++].length;
    }
    Entry merged = log_[i];
    const bool anyAway = j - i > 1 && std::any_of(log_.begin() + static_cast<ptrdiff_t>(i),
                                                  log_.begin() + static_cast<ptrdiff_t>(j),
                                                  [](const Entry& e) { return e.away(); });
    if (anyAway) {
      // Pieces in the scratch file are read back and the whole record goes there anew.
      const auto length = static_cast<size_t>(std::min<int64_t>(total, INT32_MAX));
      std::string record, piece;
      record.reserve(length);
      for (size_t k = i; k < j && record.size() < length; ++k) {
        if (k > i) record.push_back('\t');
        const size_t n =
            std::min<size_t>(static_cast<size_t>(log_[k].length), length - record.size());
        record.append(readData(log_[k], n, piece));
      }
      merged = storeAway(merged.key(), record);
    } else if (j - i > 1) {
      // Merged: first data, then TAB and each later data, in the order of adding.
      const auto length = static_cast<size_t>(std::min<int64_t>(total, INT32_MAX));
      // The merged data begins with the first data, so it holds the key where that did.
      const bool keyInData = (merged.keyField & Entry::kKeyInData) != 0;
      const size_t keyBytes = keyInData ? 0 : merged.keySize();
      char* p = arena_->allocate(keyBytes + length);
      std::memcpy(p, merged.bytes, keyBytes);
      merged.bytes = p;
      p += keyBytes;
      size_t at = 0;
      for (size_t k = i; k < j && at < length; ++k) {
        if (k > i) p[at++] = '\t';
        const size_t n = std::min<size_t>(static_cast<size_t>(log_[k].length), length - at);
        std::memcpy(p + at, log_[k].data(), n);
        at += n;
      }
      merged.length = static_cast<int32_t>(length);
    }
    log_[out++] = merged;
    i = j;
  }
  log_.resize(out);
  if (away_) away_->flush();
}

std::span<const EntryMap::Entry> EntryMap::entries() const {
  assert(frozen_ && "the map is read before loading ended");
  return log_;
}

std::string_view EntryMap::TextWindow::text(size_t record) const {
  const Entry& e = map_->log_[record];
  if (!e.away()) return {e.data(), keptSize(e)};
  return {bytes_.data() + places_[record - first_], keptSize(e)};
}

uint64_t EntryMap::awayBytes(size_t first, size_t last) const {
  uint64_t total = 0;
  if (!away_) return total;
  for (size_t r = first; r < last; ++r) {
    if (log_[r].away()) total += keptSize(log_[r]);
  }
  return total;
}

bool EntryMap::readTexts(size_t first, size_t last, TextWindow& window) const {
  assert(frozen_ && first <= last && last <= log_.size());
  window.map_ = this;
  window.first_ = first;
  window.places_.clear();
  window.bytes_.clear();
  if (!away_) return true;
  if (away_->readFailed) return false;
  // Where each record's data lie in the file and go in the window, taken in the file's
  // order, so that records near each other there are read together whatever their keys.
  struct Item {
    uint64_t from;
    uint64_t to;
    size_t size;
  };
  size_t count = 0;
  for (size_t r = first; r < last; ++r) count += log_[r].away() ? 1 : 0;
  if (count == 0) return true;  // all in memory: nothing to place
  LargeVector<Item> items;
  items.reserve(count);
  window.places_.resize(last - first);
  uint64_t total = 0;
  for (size_t r = first; r < last; ++r) {
    const Entry& e = log_[r];
    if (!e.away()) continue;
    window.places_[r - first] = total;
    items.push_back({placeOf(e), total, keptSize(e)});
    total += keptSize(e);
  }
  window.bytes_.resize(static_cast<size_t>(total));
  std::sort(items.begin(), items.end(),
            [](const Item& a, const Item& b) { return a.from < b.from; });
  // Records within a span this long are read with one call: a sweep over the file rather
  // than a read for each record.
  constexpr uint64_t kSpan = 1 << 20;
  char* out = window.bytes_.data();
  std::vector<char> span;
  for (size_t k = 0; k < items.size();) {
    const Item& a = items[k];
    const auto inFile = [this](const Item& item) {
      return item.from + item.size <= away_->written;
    };
    size_t j = k + 1;
    uint64_t end = a.from + a.size;
    if (inFile(a)) {
      while (j < items.size() && inFile(items[j]) &&
             items[j].from + items[j].size - a.from <= kSpan) {
        end = std::max(end, items[j].from + items[j].size);
        ++j;
      }
    }
    if (j == k + 1) {
      if (!away_->read(a.from, out + a.to, a.size)) return false;
    } else {
      span.resize(static_cast<size_t>(end - a.from));
      if (!away_->file->readAt(a.from, span.data(), span.size())) return false;
      for (size_t m = k; m < j; ++m)
        std::memcpy(out + items[m].to, span.data() + (items[m].from - a.from), items[m].size);
    }
    k = j;
  }
  return true;
}

const EntryMap::Entry* EntryMap::find(std::u16string_view key) const {
  const std::span<const Entry> records = entries();
  std::string k;
  appendKeyBytes(k, key);
  auto it = std::lower_bound(
      records.begin(), records.end(), k,
      [](const Entry& e, const std::string& v) { return compareKeys(e.key(), v) < 0; });
  return it != records.end() && it->key() == k ? &*it : nullptr;
}

void addEntry(EntryMap& entries, std::u16string_view key, std::string_view entryBytes) {
  entries.add(key, entryBytes);
}

}  // namespace lexora
