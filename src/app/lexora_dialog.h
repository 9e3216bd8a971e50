// CLexoraDlg is the main dialog's toolkit-free controller: Browse, Send, Stop, Exit, About,
// the language switch, and the transfer job's dialog. It owns no window. A view
// (QtDialogView, Win32DialogView, the tests' TestView) builds the windows from
// mainDialogTemplate(GetUiLanguage()), forwards each command here and carries out what the
// controller asks of it.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/dialog_thread_calls.h"
#include "app/dialog_view.h"
#include "app/file_selection.h"
#include "base/mutex.h"
#include "job/transfer_job.h"

namespace lexora {

class CLexoraDlg : public TransferDialog {
 public:
  // `view` must outlive this object. Jobs reach the handheld through `service`.
  CLexoraDlg(DialogView& view, ServiceFactory service, LinkWaits waits = LinkWaits());
  // Stops every job and waits for it (see shutDown in the source).
  ~CLexoraDlg() override;
  CLexoraDlg(const CLexoraDlg&) = delete;
  CLexoraDlg& operator=(const CLexoraDlg&) = delete;

  // Dialog initialisation, once the view has created the controls: the status line.
  void initDialog();
  // The text of the system menu's About item (empty: no item). Views with a system menu.
  static std::u16string_view systemMenuAboutText();

  // A command from control `id`; Escape and the close box arrive as main_control::kExit.
  void command(int id);
  // A system-menu command: the About item opens the About box; false for the others,
  // which the view handles by default.
  bool systemCommand(int id);

  // Makes `paths` the selection, as if chosen with Browse (the files given on the command
  // line at start-up, in the bytes they were given in).
  void select(std::vector<std::filesystem::path> paths);
  // Files dropped on the dialog: the selection, as if chosen with Browse (whose folder they
  // also become).
  void drop(std::vector<std::filesystem::path> paths);
  void browse();
  void send();
  void stop();
  void exit();
  void about();
  void SwitchUiLanguage();

  const FileSelection& selection() const { return selection_; }
  // Whether the job started by the last Send runs and has not been stopped.
  bool jobRunning() const { return job_ && !job_->finished(); }

  // The transfer job's dialog; called from the job's worker thread.
  UserInterface& ui() override;
  void enableSendButton(bool enabled) override;
  void enableStopButton(bool enabled) override;
  bool confirmSend(int32_t packedSize) override;
  void warnCutOff(std::u16string_view message) override;
  void setLink(USBLink* link) override;
  void showOpenFailure(OpenFailure failure, const std::u16string& handheldReason) override;

  // Progress and the end-of-job notification.
  using Clock = std::function<std::chrono::steady_clock::time_point()>;
  // A job that ends longer than this after its Send is announced when the window is not
  // active.
  static constexpr std::chrono::seconds kLongJob{10};
  // The clock jobs are timed with (the steady clock unless replaced).
  void setClock(Clock clock) { clock_ = std::move(clock); }
  void sendingEnded() override;
  void jobEnded() override;

 private:
  class JobInterface;

  void shutDown();
  void forgetFinishedJobs();
  // Enables or disables Send or Stop for the job, keeping the default button and the focus.
  void enableButton(int id, bool enabled);

  DialogView& view_;
  const ServiceFactory service_;
  const LinkWaits waits_;
  const std::shared_ptr<DialogThreadCalls> calls_;
  std::unique_ptr<JobInterface> jobInterface_;
  FileSelection selection_;
  std::unique_ptr<TransferJob> job_;  // the worker handle: null at start and after Stop
  // Jobs let go by Stop that may still be finishing (sending the end flag, closing).
  std::vector<std::unique_ptr<TransferJob>> stoppedJobs_;
  bool shutDown_ = false;
  // Shared with the jobs' threads.
  Mutex mutex_;
  std::map<std::thread::id, USBLink*> links_ GUARDED_BY(mutex_);  // each job's open link
  bool linksHurried_ GUARDED_BY(mutex_) = false;
  std::vector<std::u16string> warningsAfterExit_ GUARDED_BY(mutex_);
  // The end-of-job notification; dialog thread only.
  Clock clock_ = [] { return std::chrono::steady_clock::now(); };
  std::chrono::steady_clock::time_point jobStart_;
  // The Return key: which buttons are enabled, and the button the focus left when the job
  // disabled it, with where the focus went instead, so it can come back.
  std::map<int, bool> buttonEnabled_;
  int focusToRestore_ = 0;
  int focusMovedTo_ = 0;
};

}  // namespace lexora
