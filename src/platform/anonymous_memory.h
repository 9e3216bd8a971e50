// A large block of memory of its own, outside the heap: the whole of a decompressed data
// file that is read from anywhere, or the entries of a dictionary of millions, where large
// pages spare most address-translation misses and most page faults.
#pragma once

#include <cstddef>
#include <new>
#include <vector>

namespace lexora {

// `size` bytes of their own (large pages where the system offers them), or nullptr when
// the system has no room. mapAnonymous(0) is nullptr. unmapAnonymous takes what
// mapAnonymous gave, with the same size.
void* mapAnonymous(size_t size);
void unmapAnonymous(void* bytes, size_t size);

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

// An allocator for containers that may grow to many megabytes: from 1 MiB up they get
// anonymous memory, below that the heap.
template <typename T>
struct LargeBlockAllocator {
  using value_type = T;
  static constexpr size_t kFromBytes = 1 << 20;

  LargeBlockAllocator() = default;
  template <typename U>
  LargeBlockAllocator(const LargeBlockAllocator<U>&) noexcept {}

  T* allocate(size_t n) {
    const size_t bytes = n * sizeof(T);
    if (bytes < kFromBytes) return static_cast<T*>(::operator new(bytes));
    void* p = mapAnonymous(bytes);
    if (p == nullptr) throw std::bad_alloc();
    return static_cast<T*>(p);
  }
  void deallocate(T* p, size_t n) noexcept {
    const size_t bytes = n * sizeof(T);
    if (bytes < kFromBytes) {
      ::operator delete(p);
    } else {
      unmapAnonymous(p, bytes);
    }
  }
  template <typename U>
  bool operator==(const LargeBlockAllocator<U>&) const noexcept {
    return true;
  }
};

// A vector that may grow to millions of elements.
template <typename T>
using LargeVector = std::vector<T, LargeBlockAllocator<T>>;

}  // namespace lexora
