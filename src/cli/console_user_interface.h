// The command line's UserInterface: message boxes, the status line and questions go to
// standard error (standard output carries only what a command produces); answers and the
// password are read from the terminal or standard input.
#pragma once

#include <optional>
#include <string>

#include "base/mutex.h"
#include "base/user_interface.h"
#include "cli/status_line.h"

namespace lexora {

class ConsoleUserInterface : public UserInterface {
 public:
  // How Yes/No questions are answered: asked on the terminal, or always Yes / always No.
  enum class Answers { Ask, AlwaysYes, AlwaysNo };
  // Where the password is read: typed at the terminal (hidden), or a line of standard
  // input (for scripts). Either way a line over kPasswordMaxCharacters is refused and
  // asked for again; end of input or Ctrl-C cancels.
  enum class PasswordSource { Terminal, StandardInput };
  // How much is told besides messages and questions: Quiet shows no status line and no
  // notes; Verbose puts every status step on a line of its own, on a terminal too.
  enum class Detail { Quiet, Normal, Verbose };
  explicit ConsoleUserInterface(Answers answers = Answers::Ask,
                                PasswordSource passwordSource = PasswordSource::Terminal,
                                Detail detail = Detail::Normal);
  ~ConsoleUserInterface() override;

  MessageAnswer showMessage(std::u16string_view text, MessageIcon icon,
                            MessageButtons buttons) override;
  // On a terminal each step replaces the previous one in place; otherwise each step is a
  // line, printed only when its text differs from the previous step's.
  void setStatus(std::u16string_view text) override;
  // Adds the bar to the status line just set (terminal only).
  void setProgress(int percent) override;
  std::optional<std::u16string> askPassword(std::u16string_view prompt) override;
  // The message, then "FILE: the system's reason" on a line of its own.
  void showFileWarning(std::u16string_view text, const std::filesystem::path& file,
                       int systemError) override;

  // A line of its own that tells what happened (a size, a file written); not when Quiet.
  void note(std::string_view text);
  Detail detail() const { return detail_; }

  // Ends a status line rewritten in place, so that what follows starts on a fresh line.
  void finishStatus();

 private:
  MessageAnswer ask(std::u16string_view text);
  void showStatusLocked(const std::string& shown) REQUIRES(mutex_);

  const Answers answers_;
  const PasswordSource passwordSource_;
  const Detail detail_;
  const bool statusInPlace_;  // rewritten in place on a terminal, else a line per step
  Mutex mutex_;
  StatusLine status_ GUARDED_BY(mutex_);      // the status line last shown
  std::string shownLine_ GUARDED_BY(mutex_);  // ... as the terminal shows it, bar included
  bool toldNoTerminal_ GUARDED_BY(mutex_) = false;
};

}  // namespace lexora
