// The C library's Chinese message catalogue, reached through a locale object of its own:
// the program's locale stays "C", whose texts the rest of the program and scripts expect.
#include "platform/system_error_text.h"

#include <locale.h>
#include <string.h>

#include "base/text_codec.h"

namespace lexora {
namespace {

// Made once and kept for the program's life; null when the locale is not installed.
locale_t chineseLocale() {
  static const locale_t locale = [] {
    for (const char* name : {"zh_CN.UTF-8", "zh_CN.utf8"}) {
      if (const locale_t made = newlocale(LC_ALL_MASK, name, static_cast<locale_t>(nullptr))) {
        return made;
      }
    }
    return static_cast<locale_t>(nullptr);
  }();
  return locale;
}

}  // namespace

std::optional<std::string> chineseSystemErrorText(int error) {
  const locale_t chinese = chineseLocale();
  if (!chinese) return std::nullopt;
  std::string text = strerror_l(error, chinese);
  if (firstInvalidUtf8(text) != std::string::npos) return std::nullopt;
  return text;
}

}  // namespace lexora
