#include "sources/gz_file.h"

#include "platform/file.h"

namespace lexora {

GzFilePtr openGzFile(const std::filesystem::path& path) {
  // zlib is handed a descriptor rather than a name: the platform opens any file name,
  // whatever its encoding, where gzopen would take only the system's narrow one.
  const int descriptor = openDescriptorForReading(path);
  if (descriptor < 0) return nullptr;
  GzFilePtr file(gzdopen(descriptor, "rb"));
  if (!file) closeDescriptor(descriptor);
  return file;
}

}  // namespace lexora
