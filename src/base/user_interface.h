// How every layer talks to the person at the keyboard. The desktop dialog, the command
// line and the tests each implement it; layers receive it by reference and never ask
// which one they have.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace lexora {

enum class MessageIcon { Warning, Information, Question };
enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No };

class UserInterface {
 public:
  virtual ~UserInterface() = default;

  // A modal message box captioned with the application's name. Returns Ok for an OK box,
  // Yes or No for a Yes/No box. May be called from any thread; returns when answered.
  virtual MessageAnswer showMessage(std::u16string_view text, MessageIcon icon,
                                    MessageButtons buttons) = 0;

  // A failure about `file` (`systemError`: the errno of the failed call, 0 when none): shows
  // `text` as a warning. An interface may also name the file and the system's reason; the
  // command line does, on a second line. Same threads as showMessage.
  virtual void showFileWarning(std::u16string_view text, const std::filesystem::path& /*file*/,
                               int /*systemError*/) {
    showMessage(text, MessageIcon::Warning, MessageButtons::Ok);
  }

  // Replaces the whole status line.
  virtual void setStatus(std::u16string_view text) = 0;

  // Sending progress, 0 to 100, alongside the status text that carries the same number.
  // Interfaces with a progress bar show it; the default does nothing.
  virtual void setProgress(int /*percent*/) {}
  // The block whose progress was shown last has failed (its message follows). Interfaces
  // that show progress mark it as failed; the default does nothing.
  virtual void progressFailed() {}

  // Asks for the handheld's password, showing `prompt` (it names the attempts left).
  // nullopt when the user cancels. At most 14 characters are accepted.
  // Called on the connectivity service's thread.
  virtual std::optional<std::u16string> askPassword(std::u16string_view prompt) = 0;
};

// Shorthands for the two kinds of box every layer shows.
inline void showWarning(UserInterface& ui, std::u16string_view text) {
  ui.showMessage(text, MessageIcon::Warning, MessageButtons::Ok);
}
inline bool askYesNo(UserInterface& ui, std::u16string_view text) {
  return ui.showMessage(text, MessageIcon::Question, MessageButtons::YesNo) == MessageAnswer::Yes;
}

}  // namespace lexora
