// Carries the transfer job's calls (status, buttons, questions, the password) to the
// dialog's thread and waits for each, as the job expects of its dialog. Once the dialog is
// closing, calls no longer reach it: each gets its closing answer on the calling thread at
// once, so no worker can wait for a dialog thread that is itself waiting for the worker.
//
// A box shown for the job blocks only the job: the dialog's commands go on meanwhile, Exit
// among them, and Exit closes this from inside the box's own loop. The box's call is then
// answered at once with its closing answer, the view is asked to close the box, and what
// the box returns when its loop finally unwinds is dropped: nothing of it reaches a job
// that may be gone by then.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/dialog_view.h"
#include "base/mutex.h"

namespace lexora {

class DialogThreadCalls : public std::enable_shared_from_this<DialogThreadCalls> {
 public:
  // `view` must outlive every call of run() and close() (the dialog closes this first).
  explicit DialogThreadCalls(DialogView& view) : view_(view) {}

  // Any thread but the dialog's: runs `call(false)` on the dialog's thread and waits; once
  // closing, runs `call(true)` here instead, which must not touch the view. For calls that
  // return at once (texts, buttons): a box goes through ask().
  void run(const std::function<void(bool closing)>& call);

  // Any thread but the dialog's: shows a box for the job by running `box` on the dialog's
  // thread, and returns what it returns. Once closing, or when the dialog starts closing
  // while the box waits or is open, returns `closingAnswer` at once. `box` owns what it
  // uses: it may still be running after this call returned.
  template <class Result>
  Result ask(std::function<Result()> box, Result closingAnswer) {
    auto result = std::make_shared<std::optional<Result>>();
    auto call = std::make_shared<Call>();
    call->isBox = true;
    call->body = [box = std::move(box), result](bool) { *result = box(); };
    if (!carryOut(call)) return closingAnswer;
    return std::move(**result);
  }

  // The dialog's thread: from now on no call reaches the view; calls already waiting, and
  // boxes open for the job, get their closing answer now, and the view closes those boxes.
  void close();

 private:
  struct Call {
    std::function<void(bool closing)> body;
    bool isBox = false;
    // Guarded by mutex_: the waiting thread may go on; and whether `body` ran to its end
    // before close() answered for it.
    bool done = false;
    bool carriedOut = false;
  };

  // Queues `call` for the dialog's thread and waits until it was carried out (true) or
  // answered by close() (false); false at once when closing.
  bool carryOut(const std::shared_ptr<Call>& call);
  void runPending();

  DialogView& view_;
  Mutex mutex_;
  std::condition_variable_any answered_;
  bool closing_ GUARDED_BY(mutex_) = false;
  std::deque<std::shared_ptr<Call>> pending_ GUARDED_BY(mutex_);
  // Boxes open for the job on the dialog's thread, innermost last.
  std::vector<std::shared_ptr<Call>> openBoxes_ GUARDED_BY(mutex_);
};

}  // namespace lexora
