#include "platform/anonymous_memory.h"

#include <utility>

namespace lexora {

AnonymousMemory AnonymousMemory::allocate(size_t size) {
  void* bytes = mapAnonymous(size);
  return bytes != nullptr ? AnonymousMemory(static_cast<char*>(bytes), size) : AnonymousMemory();
}

void AnonymousMemory::release() {
  unmapAnonymous(data_, size_);
  data_ = nullptr;
  size_ = 0;
}

AnonymousMemory::~AnonymousMemory() {
  release();
}

AnonymousMemory::AnonymousMemory(AnonymousMemory&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

AnonymousMemory& AnonymousMemory::operator=(AnonymousMemory&& other) noexcept {
  if (this != &other) {
    release();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

}  // namespace lexora
