#include "pack/image_file_name.h"

#include "base/text_codec.h"
#include "platform/sha1.h"

namespace lexora {
namespace {

constexpr std::string_view kExtension = ".lxp";

bool keptAscii(char c, bool first) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_' || (c == '.' && !first);
}

// The bytes of the escaped name's unit (a kept byte, a %XX or one UTF-8 character) at `at`.
size_t unitLength(std::string_view escaped, size_t at) {
  const auto lead = static_cast<unsigned char>(escaped[at]);
  if (lead == '%') return 3;
  if (lead < 0x80) return 1;
  return lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;  // valid UTF-8: lead bytes only here
}

// An over-long name keeps as many whole characters of its escaped form as fit, then '~' and
// the first 8 bytes of the SHA-1 of the whole name in hex: 226 + 1 + 16 + 4 = 247 bytes at
// most. '~' is always escaped in a name that fits, so a cut name never equals one that was
// not cut; two cut names meet only if their hashes do (2^-64), and the same name always
// gives the same file, so `lookup` finds it. The name inside the image stays whole: `list`
// shows that one. Should the system's SHA-1 fail, the name stays uncut and storing it
// fails as it would have.
std::string shortened(std::string escaped, std::string_view utf8Name) {
  constexpr size_t kHashBytes = 8;
  constexpr size_t kKept = kMaxImageFileName - kExtension.size() - 1 - 2 * kHashBytes;
  const auto digest = sha1Digest(utf8Name.data(), utf8Name.size());
  if (!digest) return escaped;
  size_t cut = 0;
  while (cut + unitLength(escaped, cut) <= kKept) cut += unitLength(escaped, cut);
  escaped.resize(cut);
  escaped += '~';
  static const char digits[] = "0123456789abcdef";
  for (size_t i = 0; i < kHashBytes; ++i) {
    escaped += digits[(*digest)[i] >> 4];
    escaped += digits[(*digest)[i] & 15];
  }
  return escaped;
}

}  // namespace

std::string packedImageFileName(std::string_view utf8Name) {
  // "%" alone cannot come out of the escaping below, so the empty name gets it.
  if (utf8Name.empty()) return "%" + std::string(kExtension);
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
  if (out.size() + kExtension.size() > kMaxImageFileName) out = shortened(std::move(out), utf8Name);
  return out + std::string(kExtension);
}

}  // namespace lexora
