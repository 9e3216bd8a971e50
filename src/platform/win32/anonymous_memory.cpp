#include "platform/anonymous_memory.h"

#include <new>

namespace lexora {

AnonymousMemory AnonymousMemory::allocate(size_t size) {
  char* bytes = new (std::nothrow) char[size];
  return bytes != nullptr ? AnonymousMemory(bytes, size) : AnonymousMemory();
}

void AnonymousMemory::release() {
  delete[] data_;
  data_ = nullptr;
  size_ = 0;
}

}  // namespace lexora
