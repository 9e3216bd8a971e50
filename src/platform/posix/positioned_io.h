// pread and pwrite to the end: the system may move fewer bytes than asked at a time.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>

namespace lexora {

// Reads exactly `size` bytes at `offset`; false at the file's end or on an error.
inline bool preadAll(int descriptor, char* buffer, size_t size, uint64_t offset) {
  for (size_t done = 0; done < size;) {
    const ssize_t n =
        pread(descriptor, buffer + done, size - done, static_cast<off_t>(offset + done));
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// Writes exactly `size` bytes at `offset`; false on an error (a full disk).
inline bool pwriteAll(int descriptor, const char* bytes, size_t size, uint64_t offset) {
  for (size_t done = 0; done < size;) {
    const ssize_t n =
        pwrite(descriptor, bytes + done, size - done, static_cast<off_t>(offset + done));
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace lexora
