// Removing temporary files when a signal ends the program. A signal handler may do only
// what is async-signal-safe: it reads paths written before it could see them (a slot is
// published by one atomic store) and calls unlink, signal and raise, nothing that allocates
// or takes a lock.
#include "platform/removed_on_termination.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <utility>

namespace lexora {
namespace {

// A slot goes Free -> Filling -> Armed -> Free by its owner; Armed -> Claimed by the
// handler, after which its owner leaves it alone (the program is ending).
enum SlotState : int { Free, Filling, Armed, Claimed };

struct Slot {
  std::atomic<int> state{Free};
  char path[4096];
};
static_assert(std::atomic<int>::is_always_lock_free, "the handler reads the state lock-free");

constexpr int kSlots = 8;
Slot gSlots[kSlots];

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void onTerminatingSignal(int signal) {
  for (Slot& slot : gSlots) {
    int armed = Armed;
    if (slot.state.compare_exchange_strong(armed, Claimed)) unlink(slot.path);
  }
  // The default action, so that whoever started the program sees it ended by this signal.
  // The signal is blocked while its handler runs: it arrives as soon as this returns.
  ::signal(signal, SIG_DFL);
  raise(signal);
}

// Over the default action only, looked at again for each file: an ignored signal stays
// ignored, and a handler the program set up itself stays in charge.
void installHandlers() {
  for (int signal : kSignals) {
    struct sigaction current {};
    if (sigaction(signal, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) continue;
    struct sigaction action {};
    action.sa_handler = onTerminatingSignal;
    sigemptyset(&action.sa_mask);
    for (int other : kSignals) sigaddset(&action.sa_mask, other);
    action.sa_flags = SA_RESTART;
    sigaction(signal, &action, nullptr);
  }
}

}  // namespace

RemovedOnTermination::RemovedOnTermination(const std::filesystem::path& path) {
  const std::string& text = path.native();
  if (text.empty() || text.size() >= sizeof gSlots[0].path) return;
  installHandlers();
  for (int i = 0; i < kSlots; ++i) {
    int free = Free;
    if (!gSlots[i].state.compare_exchange_strong(free, Filling)) continue;
    std::memcpy(gSlots[i].path, text.c_str(), text.size() + 1);
    gSlots[i].state.store(Armed);
    slot_ = i;
    return;
  }
}

RemovedOnTermination::~RemovedOnTermination() {
  if (slot_ < 0) return;
  int armed = Armed;
  // Fails only when the handler has claimed the slot; the program is ending then.
  gSlots[slot_].state.compare_exchange_strong(armed, Free);
}

RemovedOnTermination::RemovedOnTermination(RemovedOnTermination&& other) noexcept
    : slot_(std::exchange(other.slot_, -1)) {}

}  // namespace lexora
