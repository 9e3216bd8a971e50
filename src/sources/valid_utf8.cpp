#include "sources/valid_utf8.h"

#include <cstring>

namespace lexora {

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
    // The same table of well-formed sequences as the UTF-8 decoder, so that the
    // replacement characters fall exactly where it puts them.
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
    if (need == 0 || j <= need) {
      out.append("\xEF\xBF\xBD");
    } else {
      out.append(bytes.data() + i, j);
    }
    i += j;
  }
}

}  // namespace lexora
