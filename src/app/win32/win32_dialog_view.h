// Win32DialogView, CLexoraDlg's view on Win32 (QtDialogView is its twin): template 102 or 103 built
// in memory, every command forwarded to the controller (Escape and the close box arrive as
// IDCANCEL, the Exit command), and what the controller asks of a view carried out with the system's
// boxes. Each modal box goes through one virtual function, which the tests replace to answer it
// without a modal loop.
#pragma once

#include <windows.h>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "app/dialog_view.h"
#include "app/win32/modal_dialog.h"
#include "app/win32/taskbar_progress.h"

namespace lexora {

class CLexoraDlg;

class Win32DialogView : public DialogView {
 public:
  // `icon`: the application icon (may be null), owned by the caller.
  Win32DialogView(HINSTANCE instance, HICON icon);
  ~Win32DialogView() override;
  Win32DialogView(const Win32DialogView&) = delete;
  Win32DialogView& operator=(const Win32DialogView&) = delete;

  // Commands go to `controller`, which must outlive the dialog's window.
  void attach(CLexoraDlg& controller) { controller_ = &controller; }
  // Files made the selection once the dialog is initialised (the command line's).
  void selectAtStart(std::vector<std::u16string> paths) { selectAtStart_ = std::move(paths); }
  // Shows the main dialog from `dialog` modally; returns when it has ended.
  INT_PTR runModal(const DialogTemplate& dialog);
  // The same dialog without a modal loop, for the tests: they pump its messages.
  HWND createModeless(const DialogTemplate& dialog);
  HWND window() const { return window_.load(); }
  // What a minimised dialog shows: `icon` in the middle of `area`.
  static void drawIconCentred(HDC dc, const RECT& area, HICON icon);

  void setControlText(int id, std::u16string_view text) override;
  std::u16string controlText(int id) const override;
  void enableControl(int id, bool enabled) override;
  void setTitle(std::u16string_view title) override;
  std::vector<int> controlIds() const override;
  DialogTexts dialogTexts(const DialogTemplate& dialog) override;
  MessageAnswer showMessage(std::u16string_view text, MessageIcon icon,
                            MessageButtons buttons) override;
  std::optional<std::vector<std::u16string>> openFiles(const OpenFileRequest& request) override;
  void showAbout(const DialogTemplate& dialog) override;
  std::optional<std::u16string> askPassword(const DialogTemplate& dialog,
                                            std::u16string_view prompt) override;
  void endDialog() override;
  void postToDialogThread(std::function<void()> call) override;
  // Progress and the end-of-job notification.
  void showProgress(ProgressState state, int percent) override;
  bool windowActive() const override;
  void notifyJobEnded(std::u16string_view text) override;
  ProgressState progressState() const { return progressState_; }
  int progressPercent() const { return progressPercent_; }
  // Whether the taskbar button can show progress (once progress was shown).
  bool taskbarProgressAvailable() const { return taskbar_ && taskbar_->available(); }

  // The Return key and the focus.
  int focusedControl() const override;
  void focusControl(int id) override;
  void setDefaultButton(int id) override;
  // The job's boxes: owned by the main dialog (the password dialog by nobody) and above it,
  // but the main dialog keeps its input while they are open.
  MessageAnswer showJobMessage(std::u16string_view text, MessageIcon icon,
                               MessageButtons buttons) override;
  void closeJobBoxes() override;
  MessageAnswer showOwnerlessMessage(std::u16string_view text, MessageIcon icon,
                                     MessageButtons buttons) override;

 protected:
  // MessageBoxW for the job, by default through messageBox(); the owner gets its input back
  // once the box is up (see showJobMessage).
  virtual int jobMessageBox(HWND owner, std::u16string_view text, std::u16string_view caption,
                            UINT type);
  // Whether closeJobBoxes() has closed the innermost box open for the job: a box that stands
  // in for MessageBoxW ends then.
  bool jobBoxClosed() const { return !jobBoxes_.empty() && jobBoxes_.back()->closed; }

  // MessageBoxW; `caption` is the application's name.
  virtual int messageBox(HWND owner, std::u16string_view text, std::u16string_view caption,
                         UINT type);
  // GetOpenFileNameW.
  virtual bool runOpenFileDialog(OPENFILENAMEW& request);
  // DialogBoxIndirectParamW of `dialog` with `procedure`, given `state` as its parameter.
  virtual INT_PTR runModalDialog(const DialogTemplate& dialog, HWND owner, DLGPROC procedure,
                                 ModalDialogState& state);

  HINSTANCE instance() const { return instance_; }

 private:
  static INT_PTR CALLBACK dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam);
  void initDialog();
  bool paintMinimised();
  void runPosted();
  // Files dropped anywhere on the dialog (WM_DROPFILES) become the selection.
  void dropFiles(HDROP drop);

  const HINSTANCE instance_;
  const HICON icon_;
  CLexoraDlg* controller_ = nullptr;
  std::atomic<HWND> window_{nullptr};
  bool modal_ = false;
  std::vector<std::u16string> selectAtStart_;
  std::mutex mutex_;
  std::deque<std::function<void()>> posted_;
  // Boxes open for the job, innermost last (the dialog's thread only): a message box's
  // window once it is up, or our own dialog's state.
  struct JobBox {
    HWND window = nullptr;
    ModalDialogState* dialog = nullptr;
    bool closed = false;
  };
  std::vector<JobBox*> jobBoxes_;
  // Progress; dialog thread only.
  std::unique_ptr<TaskbarProgress> taskbar_;  // made when progress is first shown
  ProgressState progressState_ = ProgressState::None;
  int progressPercent_ = 0;
};

}  // namespace lexora
