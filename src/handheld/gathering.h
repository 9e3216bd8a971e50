// A meeting point for the sessions of the emulator: each that arrives waits until enough
// others are waiting too, and then all go on at once. The fault plan holds end flags here,
// so that tests can make connections store the same dictionary at the same moment.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>

#include "base/mutex.h"

namespace lexora::handheld {

class Gathering {
 public:
  // Groups of `size` callers go on together.
  explicit Gathering(size_t size) : size_(size) {}
  Gathering(const Gathering&) = delete;
  Gathering& operator=(const Gathering&) = delete;

  // Waits until the group is complete, at most `limit` (a group that never fills up, its
  // senders gone, holds nobody for ever). False when ended meanwhile.
  bool meet(std::chrono::milliseconds limit);
  // Lets every waiting caller go, and any later one pass at once.
  void end();

 private:
  const size_t size_;
  Mutex mutex_;
  std::condition_variable_any changed_;
  size_t waiting_ GUARDED_BY(mutex_) = 0;      // callers of the group being gathered
  uint64_t completed_ GUARDED_BY(mutex_) = 0;  // groups that went on
  bool ended_ GUARDED_BY(mutex_) = false;
};

}  // namespace lexora::handheld
