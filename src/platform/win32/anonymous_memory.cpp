#include "platform/anonymous_memory.h"

#include <new>

namespace lexora {

void* mapAnonymous(size_t size) {
  return size == 0 ? nullptr : new (std::nothrow) char[size];
}

void unmapAnonymous(void* bytes, size_t) {
  delete[] static_cast<char*>(bytes);
}

}  // namespace lexora
