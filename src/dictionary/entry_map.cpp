#include "dictionary/entry_map.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <type_traits>

#include "platform/anonymous_memory.h"
#include "platform/text_codec.h"

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

namespace {

// Where UTF-8 byte order and UTF-16 code-unit order disagree: characters from U+10000 up
// (lead bytes F0..F4) are surrogate pairs in UTF-16 and sort before U+E000..U+FFFF (lead
// bytes EE, EF). Remapping those lead bytes restores the UTF-16 order; every other byte of
// valid UTF-8 (continuation bytes included) keeps its value, so whole keys remapped byte by
// byte compare in UTF-16 order too.
inline unsigned byteRank(unsigned char b) {
  if (b < 0xEE) return b;
  if (b < 0xF0) return b + 0x10u;  // EE, EF after every four-byte lead
  return b - 2u;                   // F0.. just after ED
}

// Where a key's sort prefix meets a lone surrogate or a four-byte character: above ED
// (U+D000..U+D7FF), below the ranks of EE and EF (U+E000..).
constexpr unsigned kSurrogateMark = 0xEE;

// A lone surrogate in the map's form of a key: ED, then A0..BF.
inline bool loneSurrogateAt(std::string_view k, size_t i) {
  return static_cast<unsigned char>(k[i]) == 0xED && i + 1 < k.size() &&
         static_cast<unsigned char>(k[i + 1]) >= 0xA0;
}

// The UTF-16 code units of a key in the map's form, one at a time. Bytes that are not
// well formed still give some unit and never a read past the end.
class CodeUnits {
 public:
  explicit CodeUnits(std::string_view key) : key_(key) {}
  bool next(char32_t& unit) {
    if (low_ != 0) {
      unit = low_;
      low_ = 0;
      return true;
    }
    if (at_ >= key_.size()) return false;
    const auto lead = static_cast<unsigned char>(key_[at_]);
    size_t length = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    length = std::min(length, key_.size() - at_);
    char32_t c = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) c = (c << 6) | (key_[at_ + k] & 0x3F);
    at_ += length;
    if (c >= 0x10000) {
      c = (c - 0x10000) & 0xFFFFF;
      unit = 0xD800 + (c >> 10);
      low_ = 0xDC00 + (c & 0x3FF);
    } else {
      unit = c;
    }
    return true;
  }

 private:
  std::string_view key_;
  size_t at_ = 0;
  char32_t low_ = 0;
};

int compareCodeUnits(std::string_view a, std::string_view b) {
  CodeUnits x(a), y(b);
  char32_t u = 0, v = 0;
  while (true) {
    const bool more = x.next(u);
    if (!y.next(v)) return more ? 1 : 0;
    if (!more) return -1;
    if (u != v) return u < v ? -1 : 1;
  }
}

}  // namespace

void appendKeyBytes(std::string& out, std::u16string_view key) {
  size_t from = 0;
  for (size_t i = 0; i < key.size(); ++i) {
    const char16_t c = key[i];
    if ((c & 0xF800) != 0xD800) continue;
    if (c <= 0xDBFF && i + 1 < key.size() && (key[i + 1] & 0xFC00) == 0xDC00) {
      ++i;  // a pair: UTF-8 has a four-byte form for it
      continue;
    }
    appendUtf8(out, key.substr(from, i - from));
    out.push_back(static_cast<char>(0xED));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    from = i + 1;
  }
  appendUtf8(out, key.substr(from));
}

int compareKeys(std::string_view a, std::string_view b) {
  const size_t n = std::min(a.size(), b.size());
  size_t i = 0;
  // A common prefix is usual among neighbouring keys; skip it in word-sized steps.
  while (i + 8 <= n && std::memcmp(a.data() + i, b.data() + i, 8) == 0) i += 8;
  while (i < n && a[i] == b[i]) ++i;
  if (i == n) return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
  const auto x = static_cast<unsigned char>(a[i]);
  const auto y = static_cast<unsigned char>(b[i]);
  // A difference inside a character (continuation bytes) means both characters share a
  // lead byte, hence a UTF-16 form of the same length: byte order is code-unit order.
  if ((x & 0xC0) == 0x80) return x < y ? -1 : 1;
  // A lone surrogate (or U+D000..U+D7FF) against a four-byte character: which comes first
  // depends on the pair of surrogates the latter stands for, and on what follows.
  if ((x == 0xED && y >= 0xF0) || (y == 0xED && x >= 0xF0)) {
    return compareCodeUnits(a.substr(i), b.substr(i));
  }
  return byteRank(x) < byteRank(y) ? -1 : 1;
}

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

void EntryMap::add(std::u16string_view key, std::string_view entryBytes) {
  if (key.empty()) return;
  std::string bytes;
  appendKeyBytes(bytes, key);
  addUtf8Key(bytes, entryBytes);
}

void EntryMap::addUtf8Key(std::string_view key, std::string_view entryBytes) {
  if (key.empty()) return;
  // A record's length is a signed 32-bit count; anything beyond could never be packed
  // (records are cut at 65,535 bytes), so an absurdly long entry is cut here instead.
  entryBytes = entryBytes.substr(0, INT32_MAX);
  // So is a key: any key over 255 bytes is left out by the packer, cut or not.
  log_.push_back(store(key.substr(0, INT32_MAX), entryBytes));
  normalized_ = false;
}

void EntryMap::normalize() {
  if (normalized_) return;
  // Sort small (prefix, position) pairs rather than the entries: the first eight key bytes,
  // remapped so that plain integer order is UTF-16 order, settle most comparisons without
  // touching the keys. The position breaks ties, so equal keys keep the order of adding.
  struct Item {
    uint64_t prefix;
    uint32_t position;
  };
  LargeVector<Item> order(log_.size());
  for (size_t i = 0; i < log_.size(); ++i) {
    uint64_t prefix = 0;
    const std::string_view k = log_[i].key();
    size_t b = 0;
    for (; b < 8 && b < k.size(); ++b) {
      const auto byte = static_cast<unsigned char>(k[b]);
      // Lone surrogates and four-byte characters interleave in UTF-16 order, which no rank
      // of single bytes gives: the prefix ends there with one mark, between U+D7FF and
      // U+E000, and compareKeys settles ties.
      if (byte >= 0xED && (byte >= 0xF0 || loneSurrogateAt(k, b)) && byte <= 0xF4) {
        prefix = (prefix << 8) | kSurrogateMark;
        ++b;
        break;
      }
      prefix = (prefix << 8) | byteRank(byte);
    }
    prefix = b == 0 ? 0 : prefix << (8 * (8 - b));  // short keys: zeros, which sort first
    order[i] = {prefix, static_cast<uint32_t>(i)};
  }
  std::sort(order.begin(), order.end(), [this](const Item& a, const Item& b) {
    if (a.prefix != b.prefix) return a.prefix < b.prefix;
    const int c = compareKeys(log_[a.position].key(), log_[b.position].key());
    return c != 0 ? c < 0 : a.position < b.position;
  });
  // Put the log in that order without a sorted copy of it, which would cost as much memory
  // again: each sorted place's item has served its purpose once its entry is fetched, so
  // the entries are gathered into the items' own storage (both are 16 bytes) and copied
  // back in one sweep.
  static_assert(sizeof(Item) == sizeof(Entry) && std::is_trivially_copyable_v<Entry>);
  for (Item& item : order) {
    const Entry e = log_[item.position];
    std::memcpy(static_cast<void*>(&item), &e, sizeof e);
  }
  std::memcpy(static_cast<void*>(log_.data()), order.data(), log_.size() * sizeof(Entry));
  order = {};
  size_t out = 0;
  for (size_t i = 0; i < log_.size();) {
    size_t j = i + 1;
    int64_t total = log_[i].length;
    while (j < log_.size() && log_[j].key() == log_[i].key()) total += 1 + log_[j++].length;
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
  normalized_ = true;
}

std::span<EntryMap::Entry> EntryMap::entries() {
  normalize();
  return log_;
}

const EntryMap::Entry* EntryMap::find(std::u16string_view key) {
  normalize();
  std::string k;
  appendKeyBytes(k, key);
  auto it = std::lower_bound(log_.begin(), log_.end(), k, [](const Entry& e, const std::string& v) {
    return compareKeys(e.key(), v) < 0;
  });
  return it != log_.end() && it->key() == k ? &*it : nullptr;
}

void addEntry(EntryMap& entries, std::u16string_view key, std::string_view entryBytes) {
  entries.add(key, entryBytes);
}

}  // namespace lexora
