#include "platform/anonymous_memory.h"

#include <sys/mman.h>

namespace lexora {

AnonymousMemory AnonymousMemory::allocate(size_t size) {
  void* bytes = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (bytes == MAP_FAILED) return AnonymousMemory();
#ifdef MADV_HUGEPAGE
  // A hint only (not every kernel offers large pages); the memory works without it.
  madvise(bytes, size, MADV_HUGEPAGE);
#endif
  return AnonymousMemory(static_cast<char*>(bytes), size);
}

void AnonymousMemory::release() {
  if (data_ != nullptr) munmap(data_, size_);
  data_ = nullptr;
  size_ = 0;
}

}  // namespace lexora
