#include "link/variant.h"

namespace lexora {

std::optional<int32_t> changeTypeToInt32(const Variant& value) {
  switch (value.type) {
    case Variant::Type::Empty:
      return 0;
    case Variant::Type::Int32:
      return value.int32;
    case Variant::Type::String:
      break;
  }
  const std::u16string& s = value.string;
  size_t i = 0;
  while (i < s.size() && (s[i] == u' ' || s[i] == u'\t')) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) negative = s[i++] == u'-';
  const size_t firstDigit = i;
  int64_t magnitude = 0;
  while (i < s.size() && s[i] >= u'0' && s[i] <= u'9') {
    magnitude = magnitude * 10 + (s[i++] - u'0');
    if (magnitude > int64_t{INT32_MAX} + 1) return std::nullopt;
  }
  if (i == firstDigit) return std::nullopt;
  while (i < s.size() && (s[i] == u' ' || s[i] == u'\t')) ++i;
  if (i != s.size()) return std::nullopt;
  const int64_t result = negative ? -magnitude : magnitude;
  if (result > INT32_MAX) return std::nullopt;
  return static_cast<int32_t>(result);
}

}  // namespace lexora
