#include "platform/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace lexora {

int openDescriptorForReading(const std::filesystem::path& path) {
  // O_NONBLOCK so that a FIFO is refused instead of waiting for a writer; it changes
  // nothing for a regular file.
  const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (descriptor < 0) return -1;
  struct stat info;
  if (fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(descriptor);
    errno = kNotARegularFile;
    return -1;
  }
  const int flags = fcntl(descriptor, F_GETFL);
  if (flags < 0 || fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    const int saved = errno;
    ::close(descriptor);
    errno = saved;
    return -1;
  }
  return descriptor;
}

FilePtr openForReading(const std::filesystem::path& path) {
  const int descriptor = openDescriptorForReading(path);
  if (descriptor < 0) return nullptr;
  FilePtr file(fdopen(descriptor, "rb"));
  if (!file) ::close(descriptor);
  return file;
}

FilePtr openForWriting(const std::filesystem::path& path) {
  return FilePtr(std::fopen(path.c_str(), "wb"));
}

FilePtr createNewFile(const std::filesystem::path& path) {
  const int descriptor =
      ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (descriptor < 0) return nullptr;
  FilePtr file(fdopen(descriptor, "wb"));
  if (!file) ::close(descriptor);
  return file;
}

bool canCreateFilesIn(const std::filesystem::path& folder) {
  return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

bool copyPermissions(std::FILE* file, const std::filesystem::path& model) {
  struct stat info;
  return ::stat(model.c_str(), &info) == 0 && fchmod(fileno(file), info.st_mode & 07777) == 0;
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

namespace lexora {

bool setBinaryMode(std::FILE*) {
  return true;  // POSIX streams never translate line ends
}

}  // namespace lexora
