#include "sources/gz_file.h"

#include <string>

#include "platform/file.h"

namespace lexora {

GzFilePtr openGzFile(std::u16string_view path) {
  if (!openForReading(path)) return nullptr;
#ifdef _WIN32
  std::wstring wide(path.begin(), path.end());
  return GzFilePtr(gzopen_w(wide.c_str(), "rb"));
#else
  return GzFilePtr(gzopen(nativePath(path).c_str(), "rb"));
#endif
}

}  // namespace lexora
