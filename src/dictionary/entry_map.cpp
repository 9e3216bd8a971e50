#include "dictionary/entry_map.h"

#include <algorithm>
#include <cassert>
#include <climits>
#include <cstring>
#include <new>
#include <type_traits>

#include "platform/anonymous_memory.h"

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

EntryMap::EntryMap() : arena_(std::make_unique<Arena>()) {}
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
  // So is a key: any key over 255 bytes is left out by the packer, cut or not.
  log_.push_back(store(key.substr(0, INT32_MAX), entryBytes));
  return {log_.size() - 1, entryBytes.size()};
}

std::string_view EntryMap::addedData(const Added& added, std::string& /*scratch*/) const {
  assert(!frozen_ && added.index < log_.size());
  const Entry& e = log_[added.index];
  return {e.data(), static_cast<size_t>(e.length)};
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
    if (j - i > 1) {
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
}

std::span<const EntryMap::Entry> EntryMap::entries() const {
  assert(frozen_ && "the map is read before loading ended");
  return log_;
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
