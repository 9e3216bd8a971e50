#include "platform/file.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstring>

namespace lexora {

// _wfopen refuses a directory by itself, so no check is needed here.
FilePtr openForReading(const std::filesystem::path& path) {
  return FilePtr(_wfopen(path.c_str(), L"rb"));
}

FilePtr openForWriting(const std::filesystem::path& path) {
  return FilePtr(_wfopen(path.c_str(), L"wb"));
}

int openDescriptorForReading(const std::filesystem::path& path) {
  return _wopen(path.c_str(), _O_RDONLY | _O_BINARY);
}

void closeDescriptor(int descriptor) {
  _close(descriptor);
}

bool flushToDisk(std::FILE* file) {
  return std::fflush(file) == 0 && _commit(_fileno(file)) == 0;
}

bool replaceFile(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  errno = EACCES;
  return false;
}

}  // namespace lexora
