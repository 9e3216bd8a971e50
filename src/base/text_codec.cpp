#include "base/text_codec.h"

#include <cstdint>
#include <cstring>

namespace lexora {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

}  // namespace

void appendUtf8(std::string& out, std::u16string_view in) {
  // Room for the worst case (three bytes a unit), written through a pointer and trimmed:
  // appending byte by byte costs more than the conversion itself.
  const size_t at = out.size();
  out.resize(at + 3 * in.size());
  auto* p = reinterpret_cast<unsigned char*>(out.data() + at);
  const size_t n = in.size();
  for (size_t i = 0; i < n;) {
    char32_t c = in[i++];
    if (c < 0x80) {
      *p++ = static_cast<unsigned char>(c);
      continue;
    }
    if (c < 0x800) {
      *p++ = static_cast<unsigned char>(0xC0 | (c >> 6));
      *p++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
      continue;
    }
    if (c >= 0xD800 && c <= 0xDBFF && i < n && in[i] >= 0xDC00 && in[i] <= 0xDFFF) {
      // A surrogate pair: four bytes for two units, within the room reserved.
      c = 0x10000 + ((c - 0xD800) << 10) + (in[i++] - 0xDC00);
      *p++ = static_cast<unsigned char>(0xF0 | (c >> 18));
      *p++ = static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F));
      *p++ = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
      *p++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
      continue;
    }
    if (c >= 0xD800 && c <= 0xDFFF) c = kReplacement;
    *p++ = static_cast<unsigned char>(0xE0 | (c >> 12));
    *p++ = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
    *p++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
  }
  out.resize(static_cast<size_t>(reinterpret_cast<char*>(p) - out.data()));
}

namespace {

// The non-ASCII sequence at s[i], by the Unicode standard's table of well-formed UTF-8: the
// lead byte fixes the length and the range of the second byte (which excludes overlong
// forms, surrogates and values past U+10FFFF); later bytes are 80..BF. `length` is the
// whole sequence when `valid`, else the maximal invalid subsequence (at least one byte).
struct Sequence {
  size_t length;
  bool valid;
};

Sequence sequenceAt(const unsigned char* s, size_t n, size_t i) {
  const unsigned char b = s[i];
  size_t need = 0;
  unsigned char lo = 0x80, hi = 0xBF;
  if (b >= 0xC2 && b <= 0xDF) {
    need = 1;
  } else if (b >= 0xE0 && b <= 0xEF) {
    need = 2;
    if (b == 0xE0) lo = 0xA0;
    if (b == 0xED) hi = 0x9F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    need = 3;
    if (b == 0xF0) lo = 0x90;
    if (b == 0xF4) hi = 0x8F;
  }
  size_t j = 1;
  for (; need > 0 && j <= need && i + j < n; ++j) {
    const unsigned char t = s[i + j];
    if (j == 1 ? (t < lo || t > hi) : (t & 0xC0) != 0x80) break;
  }
  return {j, need > 0 && j > need};
}

}  // namespace

void appendUtf16(std::u16string& out, std::string_view in) {
  const auto* s = reinterpret_cast<const unsigned char*>(in.data());
  const size_t n = in.size();
  size_t i = 0;
  while (i < n) {
    while (i < n && s[i] < 0x80) out.push_back(s[i++]);
    if (i == n) break;
    const Sequence sequence = sequenceAt(s, n, i);
    if (!sequence.valid) {
      out.push_back(kReplacement);
      i += sequence.length;
      continue;
    }
    const unsigned char b = s[i];
    char32_t c = sequence.length == 2 ? (b & 0x1F) : sequence.length == 3 ? (b & 0x0F) : (b & 0x07);
    for (size_t k = 1; k < sequence.length; ++k) c = (c << 6) | (s[i + k] & 0x3F);
    i += sequence.length;
    if (c >= 0x10000) {
      c -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
  }
}

size_t firstInvalidUtf8(std::string_view bytes) {
  const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
  const size_t n = bytes.size();
  for (size_t i = 0; i < n;) {
    // Most text is ASCII: eight bytes at a time, while none of them has its top bit.
    if (i + 8 <= n) {
      uint64_t eight;
      std::memcpy(&eight, s + i, 8);
      if ((eight & 0x8080808080808080u) == 0) {
        i += 8;
        continue;
      }
    }
    if (s[i] < 0x80) {
      ++i;
      continue;
    }
    const Sequence sequence = sequenceAt(s, n, i);
    if (!sequence.valid) return i;
    i += sequence.length;
  }
  return std::string_view::npos;
}

void appendValidUtf8(std::string& out, std::string_view bytes) {
  const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
  const size_t n = bytes.size();
  size_t i = 0;
  while (i < n) {
    size_t run = i;
    while (run < n && s[run] < 0x80) ++run;
    out.append(bytes.data() + i, run - i);
    i = run;
    if (i == n) break;
    const Sequence sequence = sequenceAt(s, n, i);
    if (sequence.valid) {
      out.append(bytes.data() + i, sequence.length);
    } else {
      out.append("\xEF\xBF\xBD");
    }
    i += sequence.length;
  }
}

std::u16string utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  appendUtf16(out, utf8);
  return out;
}

std::string utf16ToUtf8(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size() * 3);
  appendUtf8(out, utf16);
  return out;
}

std::u16string asciiLower(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 0x20);
  }
  return out;
}

std::string asciiLower(std::string_view text) {
  std::string out(text);
  asciiLowerInPlace(out);
  return out;
}

void asciiLowerInPlace(std::string& text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 0x20);
  }
}

}  // namespace lexora
