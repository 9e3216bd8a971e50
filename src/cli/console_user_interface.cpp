#include "cli/console_user_interface.h"

#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>

#include "platform/application.h"
#include "platform/text_codec.h"
#include "platform/ui_language.h"

namespace lexora {
namespace {

constexpr BilingualText kNoTerminal{
    u"没有可回答问题的终端，按“否”处理（使用 --yes 可自动回答“是”）。",
    u"There is no terminal to answer on, so the answer is No (use --yes to answer Yes)."};
constexpr BilingualText kYesNo{u" [y/N] ", u" [y/N] "};
constexpr BilingualText kPasswordCut{
    u"密码最多14个字符，多余的字符已忽略。",
    u"A password has at most 14 characters; the rest was ignored."};
constexpr size_t kMaxPasswordChars = 14;
constexpr int kBarWidth = 24;

std::string utf8(std::u16string_view text) {
  return utf16ToUtf8(text);
}

// Reads one line from the terminal without echoing it.
std::optional<std::string> readHiddenLine(std::FILE* tty) {
  termios old{};
  const int fd = fileno(tty);
  const bool canHide = tcgetattr(fd, &old) == 0;
  if (canHide) {
    termios quiet = old;
    quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
    tcsetattr(fd, TCSAFLUSH, &quiet);
  }
  std::string line;
  int c;
  while ((c = std::fgetc(tty)) != EOF && c != '\n') line.push_back(static_cast<char>(c));
  if (canHide) tcsetattr(fd, TCSAFLUSH, &old);
  std::fputc('\n', stderr);
  if (c == EOF && line.empty()) return std::nullopt;
  return line;
}

}  // namespace

ConsoleUserInterface::ConsoleUserInterface(Answers answers)
    : answers_(answers), statusIsTerminal_(::isatty(STDOUT_FILENO) == 1) {}

ConsoleUserInterface::~ConsoleUserInterface() {
  finishStatus();
}

void ConsoleUserInterface::clearStatusLocked() {
  if (statusIsTerminal_ && !status_.empty()) {
    std::fputs("\r\033[K", stdout);
    std::fflush(stdout);
  }
}

void ConsoleUserInterface::finishStatus() {
  std::lock_guard lock(mutex_);
  if (statusIsTerminal_ && !status_.empty()) {
    std::fputc('\n', stdout);
    std::fflush(stdout);
  }
  status_.clear();
  progress_ = -1;
}

void ConsoleUserInterface::setStatus(std::u16string_view text) {
  std::lock_guard lock(mutex_);
  if (!statusIsTerminal_) {
    std::printf("%s\n", utf8(text).c_str());
    std::fflush(stdout);
    return;
  }
  // Each step replaces the previous one on the same line.
  clearStatusLocked();
  status_ = utf8(text);
  std::string shown = status_;
  if (progress_ >= 0) {
    const int filled = progress_ * kBarWidth / 100;
    shown += " [" + std::string(static_cast<size_t>(filled), '#') +
             std::string(static_cast<size_t>(kBarWidth - filled), '.') + "]";
  }
  std::fputs(shown.c_str(), stdout);
  std::fflush(stdout);
}

void ConsoleUserInterface::setProgress(int percent) {
  std::lock_guard lock(mutex_);
  progress_ = percent;
}

MessageAnswer ConsoleUserInterface::showMessage(std::u16string_view text, MessageIcon,
                                                MessageButtons buttons) {
  if (buttons == MessageButtons::YesNo) return ask(text);
  finishStatus();
  std::fprintf(stderr, "%s: %s\n", applicationName().c_str(), utf8(text).c_str());
  return MessageAnswer::Ok;
}

MessageAnswer ConsoleUserInterface::ask(std::u16string_view text) {
  finishStatus();
  std::fprintf(stdout, "%s", utf8(text).c_str());
  if (answers_ != Answers::Ask) {
    const bool yes = answers_ == Answers::AlwaysYes;
    std::fprintf(stdout, " %s\n", yes ? "yes" : "no");
    std::fflush(stdout);
    return yes ? MessageAnswer::Yes : MessageAnswer::No;
  }
  if (::isatty(STDIN_FILENO) != 1) {
    std::fputc('\n', stdout);
    std::fflush(stdout);
    std::lock_guard lock(mutex_);
    if (!toldNoTerminal_) std::fprintf(stderr, "%s\n", utf8(kNoTerminal.pick()).c_str());
    toldNoTerminal_ = true;
    return MessageAnswer::No;
  }
  std::fputs(utf8(kYesNo.pick()).c_str(), stdout);
  std::fflush(stdout);
  std::string line;
  if (!std::getline(std::cin, line)) return MessageAnswer::No;
  return (line == "y" || line == "Y" || line == "yes" || line == "Yes") ? MessageAnswer::Yes
                                                                        : MessageAnswer::No;
}

std::optional<std::u16string> ConsoleUserInterface::askPassword(std::u16string_view prompt) {
  finishStatus();
  std::FILE* tty = std::fopen("/dev/tty", "r+");
  if (!tty) return std::nullopt;  // nobody to ask: the challenge is refused
  std::fprintf(stderr, "%s: ", utf8(prompt).c_str());
  std::fflush(stderr);
  auto line = readHiddenLine(tty);
  std::fclose(tty);
  if (!line) return std::nullopt;
  std::u16string password = utf8ToUtf16(*line);
  std::fill(line->begin(), line->end(), '\0');
  if (password.size() > kMaxPasswordChars) {
    // The dialog's field takes no 15th character; typing more here has the same effect.
    password.resize(kMaxPasswordChars);
    std::fprintf(stderr, "%s\n", utf8(kPasswordCut.pick()).c_str());
  }
  return password;
}

}  // namespace lexora
