#include "pack/image_file_name.h"

#include "platform/text_codec.h"

namespace lexora {
namespace {

bool keptAscii(char c, bool first) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_' || (c == '.' && !first);
}

}  // namespace

std::string packedImageFileName(std::string_view utf8Name) {
  constexpr char kExtension[] = ".lxp";
  // "%" alone cannot come out of the escaping below, so the empty name gets it.
  if (utf8Name.empty()) return std::string("%") + kExtension;
  const bool validUtf8 = firstInvalidUtf8(utf8Name) == std::string_view::npos;
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (size_t i = 0; i < utf8Name.size(); ++i) {
    const char c = utf8Name[i];
    const auto byte = static_cast<unsigned char>(c);
    if (keptAscii(c, i == 0) || (validUtf8 && byte >= 0x80)) {
      out += c;
    } else {
      out += '%';
      out += digits[byte >> 4];
      out += digits[byte & 15];
    }
  }
  return out + kExtension;
}

}  // namespace lexora
