#include "dictionary/key_order.h"

#include <algorithm>
#include <cstring>

#include "base/text_codec.h"

namespace lexora {
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

uint64_t keySortPrefix(std::string_view key) {
  uint64_t prefix = 0;
  size_t b = 0;
  for (; b < 8 && b < key.size(); ++b) {
    const auto byte = static_cast<unsigned char>(key[b]);
    // Lone surrogates and four-byte characters interleave in UTF-16 order, which no rank
    // of single bytes gives: the prefix ends there with one mark, between U+D7FF and
    // U+E000, and compareKeys settles ties.
    if (byte >= 0xED && (byte >= 0xF0 || loneSurrogateAt(key, b)) && byte <= 0xF4) {
      prefix = (prefix << 8) | kSurrogateMark;
      ++b;
      break;
    }
    prefix = (prefix << 8) | byteRank(byte);
  }
  return b == 0 ? 0 : prefix << (8 * (8 - b));  // short keys: zeros, which sort first
}

}  // namespace lexora
