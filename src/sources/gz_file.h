// zlib's gzip file handle, owned: the StarDict index and data files are read through it,
// so that a gzip stream and a plain file under either name read alike.
#pragma once

#include <zlib.h>

#include <filesystem>
#include <memory>

namespace lexora {

struct GzFileCloser {
  void operator()(gzFile_s* file) const { gzclose(file); }
};
using GzFilePtr = std::unique_ptr<gzFile_s, GzFileCloser>;

// Opens an existing file for reading ("rb"); nullptr when it cannot be opened or is a
// folder (which the system would open, only to fail at the first read).
GzFilePtr openGzFile(const std::filesystem::path& path);

}  // namespace lexora
