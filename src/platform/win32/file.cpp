#include "platform/file.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstring>

namespace lexora {

namespace {

// _wopen refuses a folder by itself; a device name such as NUL or CON opens, and is not a
// file to read a dictionary from.
bool isRegular(int descriptor) {
  struct _stat64 info;
  return _fstat64(descriptor, &info) == 0 && (info.st_mode & _S_IFMT) == _S_IFREG;
}

}  // namespace

int openDescriptorForReading(const std::filesystem::path& path) {
  const int descriptor = _wopen(path.c_str(), _O_RDONLY | _O_BINARY);
  if (descriptor >= 0 && !isRegular(descriptor)) {
    _close(descriptor);
    errno = kNotARegularFile;
    return -1;
  }
  return descriptor;
}

FilePtr openForReading(const std::filesystem::path& path) {
  const int descriptor = openDescriptorForReading(path);
  if (descriptor < 0) return nullptr;
  FilePtr file(_fdopen(descriptor, "rb"));
  if (!file) _close(descriptor);
  return file;
}

FilePtr openForWriting(const std::filesystem::path& path) {
  return FilePtr(_wfopen(path.c_str(), L"wb"));
}

// "x" creates the file or fails (CREATE_NEW): whatever is already there, a link included,
// is never opened.
FilePtr createNewFile(const std::filesystem::path& path) {
  return FilePtr(_wfopen(path.c_str(), L"wbx"));
}

// A folder's read-only attribute does not keep new files out (Explorer uses it to mark
// customised folders); access control shows when the file is made.
bool canCreateFilesIn(const std::filesystem::path&) {
  return true;
}

// The attributes that matter on Windows come from the folder; there is nothing to copy.
bool copyPermissions(std::FILE*, const std::filesystem::path&) {
  return true;
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

namespace lexora {

bool setBinaryMode(std::FILE* stream) {
  return _setmode(_fileno(stream), _O_BINARY) != -1;
}

}  // namespace lexora
