#include "handheld/log_text.h"

#include <cstdint>

namespace lexora::handheld {
namespace {

// The length of the valid UTF-8 sequence at the start of `text`, 0 when there is none.
size_t sequenceLength(std::string_view text) {
  const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
  const uint8_t lead = byte(0);
  size_t length = 0;
  uint32_t point = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, point = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, point = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, point = lead & 0x07;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    point = (point << 6) | (byte(i) & 0x3F);
  }
  const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
  if (point < least[length] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) return 0;
  if (point >= 0x80 && point <= 0x9F) return 0;  // C1 controls act on some terminals
  return length;
}

}  // namespace

std::string printableText(std::string_view text, size_t limit) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    if (out.size() >= limit) return out + "...";
    const uint8_t c = static_cast<uint8_t>(text[i]);
    if (c == '\\') {
      out += "\\\\";
      ++i;
    } else if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
      ++i;
    } else if (const size_t n = c >= 0x80 ? sequenceLength(text.substr(i)) : 0; n > 0) {
      out.append(text.substr(i, n));
      i += n;
    } else {
      out += {'\\', 'x', digits[c >> 4], digits[c & 15]};
      ++i;
    }
  }
  return out;
}

}  // namespace lexora::handheld
