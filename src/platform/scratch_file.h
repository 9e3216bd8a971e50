// A nameless file in the system's temporary folder, gone when closed or when the program
// dies: where the bulk of a very large dictionary waits while only its index stays in
// memory. One implementation per system in posix/ and win32/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace lexora {

class ScratchFile {
 public:
  virtual ~ScratchFile() = default;
  // Bytes written so far.
  virtual uint64_t size() const = 0;
  // Writes `size` bytes at the end; false (nothing counted as written) when they cannot all
  // be written, a full disk say. Not to be called with reads under way.
  virtual bool append(const char* bytes, size_t size) = 0;
  // Reads exactly `size` bytes at `offset`; false when they cannot all be read. Safe to call
  // from several threads at once.
  virtual bool readAt(uint64_t offset, char* buffer, size_t size) const = 0;
};

// A new, empty scratch file, or nullptr when none can be made (no writable temporary
// folder): the caller then keeps its data in memory.
std::unique_ptr<ScratchFile> createScratchFile();

}  // namespace lexora
