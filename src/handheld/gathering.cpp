#include "handheld/gathering.h"

namespace lexora::handheld {

bool Gathering::meet(std::chrono::milliseconds limit) {
  MutexLock lock(mutex_);
  if (ended_) return false;
  const uint64_t group = completed_;
  if (++waiting_ >= size_) {
    waiting_ = 0;
    ++completed_;
    changed_.notify_all();
    return true;
  }
  const bool gathered = changed_.wait_for(
      mutex_, limit, [&]() REQUIRES(mutex_) { return ended_ || completed_ != group; });
  // Given up on: the group is gathered without this caller.
  if (!gathered) --waiting_;
  return !ended_;
}

void Gathering::end() {
  MutexLock lock(mutex_);
  ended_ = true;
  changed_.notify_all();
}

}  // namespace lexora::handheld
