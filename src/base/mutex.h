// A mutex the thread-safety analysis knows (thread_annotations.h), and the lock that holds
// it for a scope. Members it guards are declared GUARDED_BY(mutex_); a condition waits
// with std::condition_variable_any on the Mutex itself, which lets go of it while waiting
// and holds it again on return (a predicate given to the wait is a lambda marked
// REQUIRES(mutex_), since it runs with the mutex held).
#pragma once

#include <mutex>

#include "base/thread_annotations.h"

namespace lexora {

class CAPABILITY("mutex") Mutex {
 public:
  Mutex() = default;
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;

  void lock() ACQUIRE() { mutex_.lock(); }
  void unlock() RELEASE() { mutex_.unlock(); }
  bool try_lock() TRY_ACQUIRE(true) { return mutex_.try_lock(); }

 private:
  std::mutex mutex_;
};

// Holds `mutex` from construction to destruction, like std::unique_lock: it may let go
// (unlock) and take it again (lock) in between.
class SCOPED_CAPABILITY MutexLock {
 public:
  explicit MutexLock(Mutex& mutex) ACQUIRE(mutex) : mutex_(mutex) { mutex_.lock(); }
  ~MutexLock() RELEASE() {
    if (held_) mutex_.unlock();
  }
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;

  void unlock() RELEASE() {
    mutex_.unlock();
    held_ = false;
  }
  void lock() ACQUIRE() {
    mutex_.lock();
    held_ = true;
  }

 private:
  Mutex& mutex_;
  bool held_ = true;
};

}  // namespace lexora
