#include "platform/path_text.h"

namespace lexora {

std::u16string pathText(const std::filesystem::path& path) {
  const std::wstring& native = path.native();
  return std::u16string(native.begin(), native.end());
}

std::filesystem::path pathFromText(std::u16string_view text) {
  return std::filesystem::path(std::wstring(text.begin(), text.end()));
}

bool isPathSeparator(char16_t c) {
  return c == u'\\';
}

}  // namespace lexora
