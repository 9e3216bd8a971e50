#include "platform/path_text.h"

#include "base/text_codec.h"

namespace lexora {

std::u16string pathText(const std::filesystem::path& path) {
  const std::wstring& native = path.native();
  return std::u16string(native.begin(), native.end());
}

std::filesystem::path pathFromText(std::u16string_view text) {
  return std::filesystem::path(std::wstring(text.begin(), text.end()));
}

std::filesystem::path pathFromArgument(const std::string& argument) {
  return pathFromText(utf8ToUtf16(argument));
}

std::string pathAsArgument(const std::filesystem::path& path) {
  return utf16ToUtf8(pathText(path));
}

bool isPathSeparator(char16_t c) {
  // Windows takes '/' as well, and no file name can hold one: a path typed on the command
  // line as C:/dicts/oxford.txt still names the dictionary "oxford".
  return c == u'\\' || c == u'/';
}

}  // namespace lexora
