// Carries the transfer job's calls (status, buttons, questions, the password) to the
// dialog's thread and waits for each, as the job expects of its dialog. Once the dialog is
// closing, calls no longer reach it: each gets its closing answer on the calling thread at
// once, so no worker can wait for a dialog thread that is itself waiting for the worker.
#pragma once

#include <deque>
#include <functional>
#include <memory>

#include "app/dialog_view.h"
#include "base/mutex.h"

namespace lexora {

class DialogThreadCalls : public std::enable_shared_from_this<DialogThreadCalls> {
 public:
  // `view` must outlive every call of run() and close() (the dialog closes this first).
  explicit DialogThreadCalls(DialogView& view) : view_(view) {}

  // Any thread but the dialog's: runs `call(false)` on the dialog's thread and waits; once
  // closing, runs `call(true)` here instead, which must not touch the view.
  void run(const std::function<void(bool closing)>& call);

  // The dialog's thread: from now on no call reaches the view; calls already waiting get
  // their closing answer now.
  void close();

  // The dialog's thread: whether a job's call is being carried out (a box or the password
  // dialog is open for the job).
  bool busy() const { return depth_ > 0; }

 private:
  void runPending();

  DialogView& view_;
  Mutex mutex_;
  bool closing_ GUARDED_BY(mutex_) = false;
  std::deque<std::function<void(bool closing)>> pending_ GUARDED_BY(mutex_);
  int depth_ = 0;  // dialog thread only
};

}  // namespace lexora
