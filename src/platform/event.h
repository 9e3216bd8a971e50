// Win32-style events: auto-reset (a successful wait clears it) or manual-reset.
#pragma once

#include <atomic>
#include <chrono>
#include <initializer_list>

namespace lexora {

class Event {
 public:
  enum class Reset { Auto, Manual };
  explicit Event(Reset reset, bool signalled = false);
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void set();
  void reset();

  // Waits up to `timeout` (zero tests without waiting: no system call, no yield, so a
  // loop may test between every step). True when the event was signalled; an auto-reset
  // event is then cleared by this wait.
  bool wait(std::chrono::milliseconds timeout);

  // Waits for the first of `events` to be signalled; returns its index in the list (the
  // lowest index when several are set, which is cleared if auto-reset), or -1 on time-out.
  static int waitAny(std::initializer_list<Event*> events, std::chrono::milliseconds timeout);

 private:
  // Takes the signal if there is one: clears an auto-reset event, leaves a manual one set.
  bool take();
  // The index of the first event whose signal was taken, or -1.
  static int takeFirst(std::initializer_list<Event*> events);

  const Reset reset_;
  // Written under the shared lock (so a sleeping waiter cannot miss it) but read and
  // cleared without it by the tests that do not wait.
  std::atomic<bool> signalled_;
};

}  // namespace lexora
