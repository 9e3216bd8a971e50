#include "platform/anonymous_memory.h"

#include <utility>

namespace lexora {

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
