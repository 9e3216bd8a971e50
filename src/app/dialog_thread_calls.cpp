#include "app/dialog_thread_calls.h"

#include <future>

namespace lexora {

void DialogThreadCalls::run(const std::function<void(bool closing)>& call) {
  std::promise<void> done;
  std::future<void> finished = done.get_future();
  {
    MutexLock lock(mutex_);
    if (closing_) {
      lock.unlock();
      call(true);
      return;
    }
    pending_.push_back([&call, &done](bool closing) {
      call(closing);
      done.set_value();
    });
    // Posted under the lock: close() cannot slip in between, so the view is still alive.
    view_.postToDialogThread([weak = weak_from_this()] {
      if (auto self = weak.lock()) self->runPending();
    });
  }
  finished.wait();
}

void DialogThreadCalls::runPending() {
  for (;;) {
    std::function<void(bool)> call;
    bool closing;
    {
      MutexLock lock(mutex_);
      if (pending_.empty()) return;
      call = std::move(pending_.front());
      pending_.pop_front();
      closing = closing_;
    }
    ++depth_;
    call(closing);
    --depth_;
  }
}

void DialogThreadCalls::close() {
  {
    MutexLock lock(mutex_);
    closing_ = true;
  }
  runPending();
}

}  // namespace lexora
