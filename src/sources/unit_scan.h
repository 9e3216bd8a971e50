// Finding rare characters in long UTF-16 lines, four code units at a time.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

namespace lexora {

// The first unit in `text` from `from` on that is `a` or `b`, or npos.
inline size_t findEitherUnit(std::u16string_view text, char16_t a, char16_t b, size_t from) {
  constexpr uint64_t kOnes = 0x0001000100010001u;
  constexpr uint64_t kHighs = 0x8000800080008000u;
  // Nonzero exactly when one of the four units of `word` is zero.
  const auto hasZeroUnit = [](uint64_t word) { return ((word - kOnes) & ~word & kHighs) != 0; };
  size_t i = from;
  for (; i + 4 <= text.size(); i += 4) {
    uint64_t word;
    std::memcpy(&word, text.data() + i, sizeof word);
    if (hasZeroUnit(word ^ (kOnes * a)) || hasZeroUnit(word ^ (kOnes * b))) break;
  }
  for (; i < text.size(); ++i) {
    if (text[i] == a || text[i] == b) return i;
  }
  return std::u16string_view::npos;
}

}  // namespace lexora
