#include "app/dialog_thread_calls.h"

#include <algorithm>

namespace lexora {

void DialogThreadCalls::run(const std::function<void(bool closing)>& call) {
  auto carried = std::make_shared<Call>();
  // By reference: a call that is not a box is never answered before it has run.
  carried->body = [&call](bool closing) { call(closing); };
  if (!carryOut(carried)) call(true);
}

bool DialogThreadCalls::carryOut(const std::shared_ptr<Call>& call) {
  MutexLock lock(mutex_);
  if (closing_) return false;
  pending_.push_back(call);
  // Posted under the lock: close() cannot slip in between, so the view is still alive.
  view_.postToDialogThread([weak = weak_from_this()] {
    if (auto self = weak.lock()) self->runPending();
  });
  answered_.wait(mutex_, [&]() REQUIRES(mutex_) { return call->done; });
  return call->carriedOut;
}

void DialogThreadCalls::runPending() {
  for (;;) {
    std::shared_ptr<Call> call;
    bool closing;
    {
      MutexLock lock(mutex_);
      if (pending_.empty()) return;
      call = std::move(pending_.front());
      pending_.pop_front();
      closing = closing_;
      if (call->isBox) openBoxes_.push_back(call);
    }
    // A box runs a loop of its own: commands, further calls and close() may come in here.
    call->body(closing);
    {
      MutexLock lock(mutex_);
      std::erase(openBoxes_, call);
      if (!call->done) {
        call->done = true;
        call->carriedOut = true;
      }
    }
    answered_.notify_all();
  }
}

void DialogThreadCalls::close() {
  bool boxesOpen = false;
  {
    MutexLock lock(mutex_);
    closing_ = true;
    // Boxes not yet shown are never shown; open ones are answered now. Other calls still
    // run below, with their closing answer.
    for (const auto& call : pending_) {
      if (call->isBox) call->done = true;
    }
    std::erase_if(pending_, [](const auto& call) { return call->isBox; });
    for (const auto& call : openBoxes_) call->done = true;
    boxesOpen = !openBoxes_.empty();
    openBoxes_.clear();
  }
  answered_.notify_all();
  if (boxesOpen) view_.closeJobBoxes();
  runPending();
}

}  // namespace lexora
