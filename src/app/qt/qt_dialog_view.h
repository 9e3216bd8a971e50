// QtDialogView, CLexoraDlg's view on Qt 6 Widgets (Win32DialogView is its twin): the window built
// from template 102 or 103, every button and Escape and the close box forwarded to the controller
// as commands, and what the controller asks of a view carried out with Qt's boxes. Every modal box
// runs through runModal(), which tests override to answer the very box built, without a modal loop.
#pragma once

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QPointer>
#include <QSystemTrayIcon>
#include <vector>

#include "app/dialog_view.h"
#include "app/qt/progress_fill.h"
#include "app/qt/template_dialog.h"

namespace lexora {

class CLexoraDlg;

class QtDialogView : public TemplateDialog, public DialogView {
 public:
  explicit QtDialogView(const DialogTemplate& dialog, QWidget* parent = nullptr);

  // From now on commands go to `controller`, which must outlive its use here.
  void attach(CLexoraDlg& controller) { controller_ = &controller; }

  void setControlText(int id, std::u16string_view text) override;
  std::u16string controlText(int id) const override;
  void enableControl(int id, bool enabled) override;
  void setTitle(std::u16string_view title) override;
  std::vector<int> controlIds() const override { return TemplateDialog::controlIds(); }
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
  const ProgressFill& progressFill() const { return *progressFill_; }

  // The Return key and the focus.
  int focusedControl() const override;
  void focusControl(int id) override;
  void setDefaultButton(int id) override;
  // The job's boxes: children of the main dialog that block only the job.
  MessageAnswer showJobMessage(std::u16string_view text, MessageIcon icon,
                               MessageButtons buttons) override;
  void closeJobBoxes() override;
  MessageAnswer showOwnerlessMessage(std::u16string_view text, MessageIcon icon,
                                     MessageButtons buttons) override;

 protected:
  // Shows `box` (a message box or the password dialog of the job) without blocking the main
  // dialog and returns its result once it is answered, or closed by closeJobBoxes(). Runs a
  // loop of its own meanwhile.
  virtual int runForJob(QDialog& box);

  // Shows `box` (a message box, the file dialog, the About box or the password dialog)
  // modally and returns its result, as QDialog::exec() does.
  virtual int runModal(QDialog& box);

  // Escape and the close box: the Exit command, which asks first.
  void reject() override;
  void closeEvent(QCloseEvent* event) override;

  // Local files dropped anywhere on the dialog become the selection.
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void command(int id);

  CLexoraDlg* controller_ = nullptr;
  std::vector<QPointer<QDialog>> jobBoxes_;  // open for the job, innermost last
  // Progress and the end-of-job notification.
  ProgressFill* progressFill_ = nullptr;  // owned by the status line
  QSystemTrayIcon* trayIcon_ = nullptr;   // made at the first notification
};

}  // namespace lexora
