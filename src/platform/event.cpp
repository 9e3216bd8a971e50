#include "platform/event.h"

#include <condition_variable>
#include <mutex>

namespace lexora {
namespace {
// All events share one lock and one condition: waitAny over several events then needs
// no registration scheme, and the few events Lexora has see little contention. Only
// setting and sleeping take the lock; a signal is taken without it.
std::mutex gMutex;
std::condition_variable gChanged;
}  // namespace

Event::Event(Reset reset, bool signalled) : reset_(reset), signalled_(signalled) {}

void Event::set() {
  {
    std::lock_guard lock(gMutex);
    signalled_.store(true, std::memory_order_release);
  }
  gChanged.notify_all();
}

void Event::reset() {
  signalled_.store(false, std::memory_order_release);
}

bool Event::take() {
  if (!signalled_.load(std::memory_order_acquire)) return false;
  if (reset_ == Reset::Manual) return true;
  // Another waiter may take the same signal first; only one wins it.
  return signalled_.exchange(false, std::memory_order_acq_rel);
}

int Event::takeFirst(std::initializer_list<Event*> events) {
  int i = 0;
  for (Event* e : events) {
    if (e->take()) return i;
    ++i;
  }
  return -1;
}

bool Event::wait(std::chrono::milliseconds timeout) {
  return waitAny({this}, timeout) == 0;
}

int Event::waitAny(std::initializer_list<Event*> events, std::chrono::milliseconds timeout) {
  // A signal already there, or a test without waiting, needs neither the lock nor a clock.
  int found = takeFirst(events);
  if (found >= 0 || timeout.count() <= 0) return found;
  std::unique_lock lock(gMutex);
  gChanged.wait_for(lock, timeout, [&] { return (found = takeFirst(events)) >= 0; });
  return found;
}

}  // namespace lexora
