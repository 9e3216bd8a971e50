#include "platform/anonymous_memory.h"

#include <sys/mman.h>

namespace lexora {

void* mapAnonymous(size_t size) {
  if (size == 0) return nullptr;
  void* bytes = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (bytes == MAP_FAILED) return nullptr;
#ifdef MADV_HUGEPAGE
  // A hint only (not every kernel offers large pages); the memory works without it. Where
  // it is taken, a fault brings in 2 MiB instead of 4 KiB, and faults cost dearly on
  // virtual machines.
  madvise(bytes, size, MADV_HUGEPAGE);
#endif
  return bytes;
}

void unmapAnonymous(void* bytes, size_t size) {
  if (bytes != nullptr) munmap(bytes, size);
}

}  // namespace lexora
