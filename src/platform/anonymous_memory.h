// A large block of memory of its own, outside the heap: the whole of a decompressed data
// file that is read from anywhere, where large pages spare most address-translation misses.
#pragma once

#include <cstddef>

namespace lexora {

class AnonymousMemory {
 public:
  AnonymousMemory() = default;
  // `size` bytes, or an empty object (data() == nullptr) when the system has no room.
  static AnonymousMemory allocate(size_t size);
  ~AnonymousMemory();
  AnonymousMemory(AnonymousMemory&& other) noexcept;
  AnonymousMemory& operator=(AnonymousMemory&& other) noexcept;

  char* data() const { return data_; }
  size_t size() const { return size_; }
  explicit operator bool() const { return data_ != nullptr; }

 private:
  AnonymousMemory(char* data, size_t size) : data_(data), size_(size) {}
  void release();

  char* data_ = nullptr;
  size_t size_ = 0;
};

}  // namespace lexora
