// Positioned reads ("pread"): several readers may read one file at different places at
// once, with no shared position between them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>

namespace lexora {

class RandomAccessInput {
 public:
  virtual ~RandomAccessInput() = default;
  virtual uint64_t size() const = 0;
  // Reads exactly `size` bytes at `offset`; false when they cannot all be read. Safe to
  // call from several threads at once.
  virtual bool readAt(uint64_t offset, char* buffer, size_t size) = 0;
};

// The file opened for positioned reads, its size taken at opening; nullptr when it cannot
// be opened or is a directory.
std::unique_ptr<RandomAccessInput> openRandomAccess(const std::filesystem::path& path);

}  // namespace lexora
