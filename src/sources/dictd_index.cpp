#include "sources/dictd_index.h"

#include <array>
#include <limits>

namespace lexora {
namespace {

constexpr uint8_t kNotADigit = 0xFF;

constexpr std::array<uint8_t, 256> makeDigitValues() {
  std::array<uint8_t, 256> values{};
  for (auto& v : values) v = kNotADigit;
  constexpr std::string_view digits =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (size_t i = 0; i < digits.size(); ++i) {
    values[static_cast<unsigned char>(digits[i])] = static_cast<uint8_t>(i);
  }
  return values;
}

constexpr std::array<uint8_t, 256> kDigitValues = makeDigitValues();

// The text up to the next TAB (or the end), and `rest` moved past that TAB; false when
// there is no TAB and `needTab`.
bool takeField(std::string_view& rest, std::string_view& field, bool needTab) {
  const size_t tab = rest.find('\t');
  if (tab == std::string_view::npos) {
    if (needTab) return false;
    field = rest;
    rest = {};
    return true;
  }
  field = rest.substr(0, tab);
  rest.remove_prefix(tab + 1);
  return true;
}

}  // namespace

std::optional<uint64_t> parseDictdNumber(std::string_view digits) {
  if (digits.empty()) return std::nullopt;
  uint64_t value = 0;
  for (char c : digits) {
    const uint8_t digit = kDigitValues[static_cast<unsigned char>(c)];
    if (digit == kNotADigit) return std::nullopt;
    if (value > (std::numeric_limits<uint64_t>::max() >> 6)) return std::nullopt;
    value = (value << 6) | digit;
  }
  return value;
}

std::optional<DictdIndexLine> parseDictdIndexLine(std::string_view line) {
  DictdIndexLine parsed;
  std::string_view offset, length;
  if (!takeField(line, parsed.headword, true) || !takeField(line, offset, true) ||
      !takeField(line, length, false)) {
    return std::nullopt;
  }
  const std::optional<uint64_t> offsetValue = parseDictdNumber(offset);
  const std::optional<uint64_t> lengthValue = parseDictdNumber(length);
  if (!offsetValue || !lengthValue || *lengthValue > std::numeric_limits<uint32_t>::max()) {
    return std::nullopt;
  }
  parsed.offset = *offsetValue;
  parsed.length = static_cast<uint32_t>(*lengthValue);
  return parsed;
}

}  // namespace lexora
