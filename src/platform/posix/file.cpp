#include "platform/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace lexora {
namespace {

bool isDirectory(int descriptor) {
  struct stat info;
  return fstat(descriptor, &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

FilePtr openForReading(const std::filesystem::path& path) {
  FilePtr file(std::fopen(path.c_str(), "rb"));
  if (!file || isDirectory(fileno(file.get()))) return nullptr;
  return file;
}

FilePtr openForWriting(const std::filesystem::path& path) {
  return FilePtr(std::fopen(path.c_str(), "wb"));
}

int openDescriptorForReading(const std::filesystem::path& path) {
  const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor >= 0 && isDirectory(descriptor)) {
    ::close(descriptor);
    return -1;
  }
  return descriptor;
}

void closeDescriptor(int descriptor) {
  ::close(descriptor);
}

bool flushToDisk(std::FILE* file) {
  return std::fflush(file) == 0 && ::fsync(fileno(file)) == 0;
}

bool replaceFile(const std::filesystem::path& from, const std::filesystem::path& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace lexora
