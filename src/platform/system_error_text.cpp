#include "platform/system_error_text.h"

#include <cstring>

#include "base/text_codec.h"
#include "platform/file.h"

namespace lexora {
namespace {

constexpr BilingualText kNotRegular{u"不是普通文件", u"not a regular file"};

}  // namespace

std::string systemErrorText(int error, UiLanguage language) {
  if (error == kNotARegularFile) return utf16ToUtf8(kNotRegular.in(language));
  if (language == UiLanguage::Chinese) {
    if (std::optional<std::string> chinese = chineseSystemErrorText(error)) return *chinese;
  }
  // The program never sets the C library's locale, so this is the English text.
  return std::strerror(error);
}

std::string openFailureReason(int error) {
  return systemErrorText(error, UiLanguage::English);
}

}  // namespace lexora
