// What all connections together may hold in memory of the dictionaries they receive, so
// that a few senders cannot take the machine's memory between them.
#pragma once

#include <atomic>
#include <cstdint>

namespace lexora::handheld {

class MemoryBudget {
 public:
  explicit MemoryBudget(uint64_t limit) : limit_(limit) {}
  MemoryBudget(const MemoryBudget&) = delete;
  MemoryBudget& operator=(const MemoryBudget&) = delete;

  // Takes `bytes` from the budget; false (taking nothing) when that would pass the limit.
  bool reserve(uint64_t bytes) {
    uint64_t used = used_.load();
    do {
      if (bytes > limit_ || used > limit_ - bytes) return false;
    } while (!used_.compare_exchange_weak(used, used + bytes));
    return true;
  }
  // Gives back what reserve took.
  void release(uint64_t bytes) { used_.fetch_sub(bytes); }
  uint64_t used() const { return used_.load(); }

 private:
  const uint64_t limit_;
  std::atomic<uint64_t> used_{0};
};

}  // namespace lexora::handheld
