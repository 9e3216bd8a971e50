// Win32-style events: auto-reset (a successful wait clears it) or manual-reset.
#pragma once

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

  // Waits up to `timeout` (zero tests without waiting). True when the event was
  // signalled; an auto-reset event is then cleared by this wait.
  bool wait(std::chrono::milliseconds timeout);

  // Waits for the first of `events` to be signalled; returns its index in the list (the
  // lowest index when several are set, which is cleared if auto-reset), or -1 on time-out.
  static int waitAny(std::initializer_list<Event*> events, std::chrono::milliseconds timeout);

 private:
  const Reset reset_;
  bool signalled_;
};

}  // namespace lexora
