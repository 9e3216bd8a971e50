// The command line's UserInterface: message boxes become lines on stderr, the status line
// goes to stdout, questions and the password are asked on the terminal.
#pragma once

#include <mutex>
#include <optional>

#include "platform/user_interface.h"

namespace lexora {

class ConsoleUserInterface : public UserInterface {
 public:
  // How Yes/No questions are answered: asked on the terminal, or always Yes / always No.
  enum class Answers { Ask, AlwaysYes, AlwaysNo };
  explicit ConsoleUserInterface(Answers answers = Answers::Ask);
  ~ConsoleUserInterface() override;

  MessageAnswer showMessage(std::u16string_view text, MessageIcon icon,
                            MessageButtons buttons) override;
  void setStatus(std::u16string_view text) override;
  void setProgress(int percent) override;
  std::optional<std::u16string> askPassword(std::u16string_view prompt) override;

  // Ends a status line rewritten in place, so that what follows starts on a fresh line.
  void finishStatus();

 private:
  MessageAnswer ask(std::u16string_view text);
  void clearStatusLocked();

  const Answers answers_;
  const bool statusIsTerminal_;
  std::mutex mutex_;
  std::string status_;  // the status line currently shown in place (terminal only)
  int progress_ = -1;
  bool toldNoTerminal_ = false;
};

}  // namespace lexora
