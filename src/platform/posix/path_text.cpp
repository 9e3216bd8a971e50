#include "platform/path_text.h"

#include "base/text_codec.h"

namespace lexora {

std::u16string pathText(const std::filesystem::path& path) {
  return utf8ToUtf16(path.native());
}

std::filesystem::path pathFromText(std::u16string_view text) {
  return std::filesystem::path(utf16ToUtf8(text));
}

std::filesystem::path pathFromArgument(const std::string& argument) {
  return std::filesystem::path(argument);
}

std::string pathAsArgument(const std::filesystem::path& path) {
  return path.native();
}

bool isPathSeparator(char16_t c) {
  // Paths here use '/', and a name like "/home/me/oxford" would reach the handheld as a
  // dictionary's title; '\' still separates, for paths written the Windows way.
  return c == u'\\' || c == u'/';
}

}  // namespace lexora
