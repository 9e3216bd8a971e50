#include "cli/console_user_interface.h"

#include <algorithm>
#include <string>

#include "base/text_codec.h"
#include "link/password_answer.h"
#include "platform/application.h"
#include "platform/console.h"
#include "platform/path_text.h"
#include "platform/system_error_text.h"
#include "platform/ui_language.h"

namespace lexora {
namespace {

static_assert(kPasswordMaxCharacters == 14, "kPasswordTooLong names the limit");

constexpr BilingualText kNoTerminal{
    u"没有可回答问题的终端，按“否”处理（使用 --yes 可自动回答“是”）。",
    u"There is no terminal to answer on, so the answer is No (use --yes to answer Yes)."};
constexpr BilingualText kYesNo{u" [y/N] ", u" [y/N] "};
constexpr BilingualText kPasswordTooLong{
    u"密码最多14个字符，此密码未被接受，请重新输入。",
    u"A password has at most 14 characters; this one was refused, enter it again."};
constexpr BilingualText kPasswordLineTooLong{
    u"密码最多14个字符，输入的这一行过长，已被拒绝，不再读取密码。",
    u"A password has at most 14 characters; this line is far longer and was refused, so no "
    u"password is read."};

std::string utf8(std::u16string_view text) {
  return utf16ToUtf8(text);
}

// Status, messages and questions all go to standard error.
void writeError(std::string_view text) {
  writeConsoleText(ConsoleStream::Error, text);
}

}  // namespace

ConsoleUserInterface::ConsoleUserInterface(Answers answers, PasswordSource passwordSource,
                                           Detail detail)
    : answers_(answers),
      passwordSource_(passwordSource),
      detail_(detail),
      statusInPlace_(detail == Detail::Normal && isConsoleTerminal(ConsoleStream::Error)) {}

ConsoleUserInterface::~ConsoleUserInterface() {
  finishStatus();
}

void ConsoleUserInterface::showStatusLocked(const std::string& shown) {
  // The terminal is written to only when what it shows changes.
  if (shown == shownLine_) return;
  shownLine_ = shown;
  rewriteConsoleLine(ConsoleStream::Error, shown);
}

void ConsoleUserInterface::finishStatus() {
  MutexLock lock(mutex_);
  if (statusInPlace_ && !status_.text().empty()) {
    writeError("\n");
  }
  status_.clear();
  shownLine_.clear();
}

void ConsoleUserInterface::setStatus(std::u16string_view text) {
  if (detail_ == Detail::Quiet) return;
  MutexLock lock(mutex_);
  std::string line = utf8(text);
  // A big dictionary's send repeats each percentage once per block; the bar stays.
  if (line == status_.text()) return;
  if (!statusInPlace_) {
    status_.setText(line);
    writeError(line + "\n");
    return;
  }
  showStatusLocked(status_.setText(std::move(line)));
}

void ConsoleUserInterface::setProgress(int percent) {
  MutexLock lock(mutex_);
  if (!statusInPlace_ || status_.text().empty()) return;
  showStatusLocked(status_.setProgress(percent));
}

void ConsoleUserInterface::note(std::string_view text) {
  if (detail_ == Detail::Quiet) return;
  finishStatus();
  writeError(std::string(text) + "\n");
}

void ConsoleUserInterface::showFileWarning(std::u16string_view text,
                                           const std::filesystem::path& file, int systemError) {
  showMessage(text, MessageIcon::Warning, MessageButtons::Ok);
  if (systemError == 0) return;
  writeError(utf16ToUtf8(pathText(file)) + ": " + systemErrorText(systemError, GetUiLanguage()) +
             "\n");
}

MessageAnswer ConsoleUserInterface::showMessage(std::u16string_view text, MessageIcon,
                                                MessageButtons buttons) {
  if (buttons == MessageButtons::YesNo) return ask(text);
  finishStatus();
  writeError(applicationName() + ": " + utf8(text) + "\n");
  return MessageAnswer::Ok;
}

MessageAnswer ConsoleUserInterface::ask(std::u16string_view text) {
  finishStatus();
  if (answers_ != Answers::Ask) {
    // Answered by an option: shown like a status step, and not at all when quiet.
    const bool yes = answers_ == Answers::AlwaysYes;
    if (detail_ != Detail::Quiet) {
      writeError(utf8(text) + (yes ? " yes\n" : " no\n"));
    }
    return yes ? MessageAnswer::Yes : MessageAnswer::No;
  }
  writeError(utf8(text));
  if (!isConsoleTerminal(ConsoleStream::Input)) {
    writeError("\n");
    MutexLock lock(mutex_);
    if (!toldNoTerminal_) writeError(utf8(pick(kNoTerminal)) + "\n");
    toldNoTerminal_ = true;
    return MessageAnswer::No;
  }
  writeError(utf8(pick(kYesNo)));
  const ConsoleLine line = readConsoleLine(LineSource::StandardInput, Echo::Shown);
  if (line.end != ConsoleLine::End::Line) {
    // Ctrl-C, end of input or a line that never ends: No, and what follows starts on a
    // line of its own.
    writeError("\n");
    return MessageAnswer::No;
  }
  const std::string& answer = line.text;
  return (answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes") ? MessageAnswer::Yes
                                                                                : MessageAnswer::No;
}

std::optional<std::u16string> ConsoleUserInterface::askPassword(std::u16string_view prompt) {
  finishStatus();
  const bool fromTerminal = passwordSource_ == PasswordSource::Terminal;
  const bool typed = fromTerminal || isConsoleTerminal(ConsoleStream::Input);
  for (;;) {
    // A prompt answered by a script ends its own line; one answered by a person waits.
    writeError(utf8(prompt) + (typed ? ": " : "\n"));
    ConsoleLine line = readConsoleLine(
        fromTerminal ? LineSource::Terminal : LineSource::StandardInput, Echo::Hidden);
    if (line.end == ConsoleLine::End::TooLong) {
      // Its end may never come (a link to /dev/zero): no further line is asked for.
      writeError(utf8(pick(kPasswordLineTooLong)) + "\n");
      return std::nullopt;
    }
    if (line.end != ConsoleLine::End::Line) return std::nullopt;  // nobody to ask: Cancel
    std::u16string password = utf8ToUtf16(line.text);
    std::fill(line.text.begin(), line.text.end(), '\0');
    // The dialog's field takes no 15th character; a longer line is refused, not cut, so
    // that what is hashed is always exactly what was typed.
    if (password.size() <= kPasswordMaxCharacters) return password;
    std::fill(password.begin(), password.end(), u'\0');
    writeError(utf8(pick(kPasswordTooLong)) + "\n");
  }
}

}  // namespace lexora
