#include "platform/file.h"

#include <sys/stat.h>

#include "platform/text_codec.h"

namespace lexora {

std::string nativePath(std::u16string_view path) {
  return utf16ToUtf8(path);
}

FilePtr openForReading(std::u16string_view path) {
#ifdef _WIN32
  std::wstring wide(path.begin(), path.end());
  FilePtr file(_wfopen(wide.c_str(), L"rb"));
#else
  FilePtr file(std::fopen(nativePath(path).c_str(), "rb"));
#endif
  if (!file) return nullptr;
  struct stat info;
  if (fstat(fileno(file.get()), &info) == 0 && S_ISDIR(info.st_mode)) return nullptr;
  return file;
}

}  // namespace lexora
