#include "platform/event.h"

#include <condition_variable>
#include <mutex>

namespace lexora {
namespace {
// All events share one lock and one condition: waitAny over several events then needs
// no registration scheme, and the few events Lexora has see little contention.
std::mutex gMutex;
std::condition_variable gChanged;
}  // namespace

Event::Event(Reset reset, bool signalled) : reset_(reset), signalled_(signalled) {}

void Event::set() {
  {
    std::lock_guard lock(gMutex);
    signalled_ = true;
  }
  gChanged.notify_all();
}

void Event::reset() {
  std::lock_guard lock(gMutex);
  signalled_ = false;
}

bool Event::wait(std::chrono::milliseconds timeout) {
  return waitAny({this}, timeout) == 0;
}

int Event::waitAny(std::initializer_list<Event*> events, std::chrono::milliseconds timeout) {
  std::unique_lock lock(gMutex);
  int found = -1;
  auto anySet = [&] {
    int i = 0;
    for (Event* e : events) {
      if (e->signalled_) {
        found = i;
        return true;
      }
      ++i;
    }
    return false;
  };
  if (!gChanged.wait_for(lock, timeout, anySet)) return -1;
  Event* e = *(events.begin() + found);
  if (e->reset_ == Reset::Auto) e->signalled_ = false;
  return found;
}

}  // namespace lexora
