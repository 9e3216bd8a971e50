// What the dialog controller needs of a toolkit: the Qt widgets, the Win32 dialogs and the
// tests' recording view each implement it. Every call but postToDialogThread is made on the
// dialog's thread.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/dialog_templates.h"
#include "base/user_interface.h"

namespace lexora {

struct FileDialogFilter {
  std::u16string_view description;
  std::u16string_view pattern;
};

struct OpenFileRequest {
  std::u16string_view title;
  std::vector<FileDialogFilter> filters;  // the first one is selected
  std::u16string initialFolder;           // empty: wherever the dialog itself would open
};

// How far the dictionary being sent has come, as the view shows it beside the status line.
enum class ProgressState { None, Normal, Failed };

// A main dialog template's texts as the toolkit shows them: the title and each control's
// text by id (controls without an id left out).
struct DialogTexts {
  std::u16string title;
  std::map<int, std::u16string> controls;
};
// The texts straight from the data.
DialogTexts templateTexts(const DialogTemplate& dialog);

class DialogView {
 public:
  virtual ~DialogView() = default;

  // The main dialog's controls, by id.
  virtual void setControlText(int id, std::u16string_view text) = 0;
  virtual std::u16string controlText(int id) const = 0;
  virtual void enableControl(int id, bool enabled) = 0;
  virtual void setTitle(std::u16string_view title) = 0;
  // The ids of the main dialog's child windows, first to last.
  virtual std::vector<int> controlIds() const = 0;
  // The texts of `dialog`, for the language switch. Views whose platform builds dialogs from
  // templates read them from a temporary instance, as the switch did there from the start.
  virtual DialogTexts dialogTexts(const DialogTemplate& dialog) { return templateTexts(dialog); }

  // A modal message box captioned with the application's name.
  virtual MessageAnswer showMessage(std::u16string_view text, MessageIcon icon,
                                    MessageButtons buttons) = 0;
  // The open-file dialog, multiple selection; the chosen full paths in the dialog's order,
  // or nullopt when cancelled or failed.
  virtual std::optional<std::vector<std::u16string>> openFiles(const OpenFileRequest& request) = 0;
  // The About box from `dialog`, modal.
  virtual void showAbout(const DialogTemplate& dialog) = 0;
  // The password dialog from `dialog`, showing `prompt`; nullopt on Cancel. Shown for the
  // job: like showJobMessage, it blocks only the job.
  virtual std::optional<std::u16string> askPassword(const DialogTemplate& dialog,
                                                    std::u16string_view prompt) = 0;
  // Ends the modal main dialog.
  virtual void endDialog() = 0;

  // Boxes of the transfer job. They block only the job: the main dialog stays usable (Stop,
  // Exit) while one is open, and stays beneath it.
  // A message box captioned with the application's name, shown for the job.
  virtual MessageAnswer showJobMessage(std::u16string_view text, MessageIcon icon,
                                       MessageButtons buttons) = 0;
  // Closes every box open for the job (message boxes and the password dialog): the dialog is
  // closing and their answers are no longer wanted.
  virtual void closeJobBoxes() = 0;
  // A modal message box with no owner window, for when the main dialog may be gone already.
  virtual MessageAnswer showOwnerlessMessage(std::u16string_view text, MessageIcon icon,
                                             MessageButtons buttons) = 0;

  // Any thread, never blocks: runs `call` later on the dialog's thread (from its message
  // loop). A call posted after the dialog ended may be dropped.
  virtual void postToDialogThread(std::function<void()> call) = 0;

  // Sending progress and the end of a long job, shown without reading the status line.
  // `percent` (0 to 100) is the one the status text carries; None clears what was shown,
  // Failed marks the block at `percent` as failed. By default nothing is shown.
  virtual void showProgress(ProgressState /*state*/, int /*percent*/) {}
  // Whether the main dialog, or a box of this program, is the active window.
  virtual bool windowActive() const { return true; }
  // Draws the user back to a job that ended while they were elsewhere; `text` says so
  // where the platform shows a text.
  virtual void notifyJobEnded(std::u16string_view /*text*/) {}

  // The Return key and the focus (default_button.h). The id of the main dialog's control
  // that has the keyboard focus, 0 for none; moving the focus to control `id`; and the
  // button Return presses while the focus is on no push button (0: none).
  virtual int focusedControl() const = 0;
  virtual void focusControl(int id) = 0;
  virtual void setDefaultButton(int id) = 0;
};

}  // namespace lexora
