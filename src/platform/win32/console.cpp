// The console on Windows: console modes for hidden input, SetConsoleCtrlHandler for the
// interrupt key, UTF-8 code pages. Output is console_output.cpp's.
#include "platform/console.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>
// windows.h first: shellapi.h needs its types.
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

#include "base/bounded_line.h"
#include "base/text_codec.h"
#include "platform/win32/console_output.h"

namespace lexora {
namespace {

// What the reading thread, the control handler and the exit paths share.
struct Shared {
  std::mutex mutex;
  // The thread waiting in a read, so that the interrupt key can cancel it; null otherwise.
  HANDLE readingThread = nullptr;
  bool readInterrupted = false;
  // The console whose echo is off, and its mode before.
  HANDLE hiddenConsole = nullptr;
  DWORD savedMode = 0;
  // The console's code pages before prepareConsole, 0 when unchanged.
  UINT savedOutputPage = 0;
  UINT savedInputPage = 0;
  std::function<void()> onInterrupt;
};

Shared& shared() {
  static Shared* state = new Shared;  // never destroyed: the exit paths may still need it
  return *state;
}

void restoreConsoleLocked(Shared& s) {
  if (s.hiddenConsole) SetConsoleMode(s.hiddenConsole, s.savedMode);
  s.hiddenConsole = nullptr;
  // The code pages belong to the console, not to this process: a command prompt would keep
  // UTF-8 after the program ended.
  if (s.savedOutputPage) SetConsoleOutputCP(s.savedOutputPage);
  if (s.savedInputPage) SetConsoleCP(s.savedInputPage);
  s.savedOutputPage = s.savedInputPage = 0;
}

void restoreConsoleAtExit() {
  Shared& s = shared();
  std::lock_guard lock(s.mutex);
  restoreConsoleLocked(s);
}

// Answers a read in progress, if any; true when there was one.
bool cancelRead() {
  Shared& s = shared();
  std::lock_guard lock(s.mutex);
  if (!s.readingThread) return false;
  s.readInterrupted = true;
  // A console read returns by itself on Ctrl-C; a read from a pipe or a file needs this.
  CancelSynchronousIo(s.readingThread);
  return true;
}

BOOL WINAPI onControlKey(DWORD type) {
  if (type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT) {
    if (cancelRead()) return TRUE;
    std::function<void()> handler;
    {
      Shared& s = shared();
      std::lock_guard lock(s.mutex);
      handler = s.onInterrupt;
    }
    // The system calls this on a thread of its own, so the work may happen right here.
    if (handler) handler();
    return TRUE;
  }
  // The window closes or the user logs off: the console is put back, then the default
  // handling ends the program.
  restoreConsoleAtExit();
  return FALSE;
}

HANDLE standardHandle(ConsoleStream stream) {
  return GetStdHandle(stream == ConsoleStream::Input    ? STD_INPUT_HANDLE
                      : stream == ConsoleStream::Output ? STD_OUTPUT_HANDLE
                                                        : STD_ERROR_HANDLE);
}

// Turns echo off on `console` while it lives.
class HiddenEcho {
 public:
  HiddenEcho(HANDLE console, bool hide) {
    if (!hide) return;
    Shared& s = shared();
    std::lock_guard lock(s.mutex);
    DWORD mode = 0;
    if (!GetConsoleMode(console, &mode)) return;
    if (!SetConsoleMode(console, mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT))) return;
    s.hiddenConsole = console;
    s.savedMode = mode;
    hidden_ = true;
  }
  ~HiddenEcho() {
    if (!hidden_) return;
    Shared& s = shared();
    std::lock_guard lock(s.mutex);
    if (s.hiddenConsole) SetConsoleMode(s.hiddenConsole, s.savedMode);
    s.hiddenConsole = nullptr;
  }
  bool hidden() const { return hidden_; }
  HiddenEcho(const HiddenEcho&) = delete;
  HiddenEcho& operator=(const HiddenEcho&) = delete;

 private:
  bool hidden_ = false;
};

// Marks the calling thread as waiting in a read, so that the interrupt key answers it.
class WaitingRead {
 public:
  WaitingRead() {
    Shared& s = shared();
    std::lock_guard lock(s.mutex);
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &s.readingThread,
                    0, FALSE, DUPLICATE_SAME_ACCESS);
    s.readInterrupted = false;
  }
  ~WaitingRead() {
    Shared& s = shared();
    std::lock_guard lock(s.mutex);
    if (s.readingThread) CloseHandle(s.readingThread);
    s.readingThread = nullptr;
  }
  bool interrupted() const {
    Shared& s = shared();
    std::lock_guard lock(s.mutex);
    return s.readInterrupted;
  }
  WaitingRead(const WaitingRead&) = delete;
  WaitingRead& operator=(const WaitingRead&) = delete;
};

enum class ReadEnd { Line, EndOfInput, TooLong };

// A console gives UTF-16 whatever its code page; one character at a time, so that nothing
// beyond this line is taken (standard input may hold more lines for later challenges).
ReadEnd readConsoleLineFrom(HANDLE console, std::string& line) {
  std::u16string wide;
  for (;;) {
    wchar_t c = 0;
    DWORD read = 0;
    if (!ReadConsoleW(console, &c, 1, &read, nullptr) || read == 0) {
      appendUtf8(line, wide);
      return ReadEnd::EndOfInput;
    }
    if (c == L'\n') break;
    // The bound is in UTF-8 bytes, and one UTF-16 unit makes up to three.
    if (wide.size() >= kPasswordLineMaxBytes / 3) {
      std::fill(wide.begin(), wide.end(), u'\0');
      return ReadEnd::TooLong;
    }
    wide.push_back(static_cast<char16_t>(c));
  }
  appendUtf8(line, wide);
  std::fill(wide.begin(), wide.end(), u'\0');
  return ReadEnd::Line;
}

// A pipe or a file gives bytes, UTF-8 like everything Lexora reads from a script.
ReadEnd readBytesLineFrom(HANDLE input, std::string& line) {
  for (;;) {
    char c = 0;
    DWORD read = 0;
    if (!ReadFile(input, &c, 1, &read, nullptr) || read == 0) return ReadEnd::EndOfInput;
    if (c == '\n') return ReadEnd::Line;
    if (line.size() >= kPasswordLineMaxBytes) return ReadEnd::TooLong;
    line.push_back(c);
  }
}

}  // namespace

void prepareConsole() {
  // Lines end in LF alone, as on every other system: the C runtime's text mode would make
  // them CR LF in files and pipes (a console shows both alike).
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  Shared& s = shared();
  {
    std::lock_guard lock(s.mutex);
    if (isConsoleHandle(GetStdHandle(STD_OUTPUT_HANDLE)) ||
        isConsoleHandle(GetStdHandle(STD_ERROR_HANDLE))) {
      const UINT output = GetConsoleOutputCP();
      if (output != CP_UTF8 && SetConsoleOutputCP(CP_UTF8)) s.savedOutputPage = output;
    }
    if (isConsoleHandle(GetStdHandle(STD_INPUT_HANDLE))) {
      const UINT input = GetConsoleCP();
      if (input != CP_UTF8 && SetConsoleCP(CP_UTF8)) s.savedInputPage = input;
    }
  }
  std::atexit(restoreConsoleAtExit);
}

std::vector<std::string> commandLineArguments(int, char**) {
  std::vector<std::string> arguments;
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!wide) return arguments;
  for (int i = 1; i < count; ++i) {
    const std::wstring_view argument(wide[i]);
    arguments.push_back(utf16ToUtf8(std::u16string(argument.begin(), argument.end())));
  }
  LocalFree(wide);
  return arguments;
}

// Every console can have a row rewritten through its own calls (console_output.cpp), so
// whether it would take escape sequences does not matter: Wine's accepts the request for
// them and reports it granted, yet prints them as text.
bool isConsoleTerminal(ConsoleStream stream) {
  return isConsoleHandle(standardHandle(stream));
}

ConsoleLine readConsoleLine(LineSource source, Echo echo) {
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  HANDLE opened = nullptr;
  if (source == LineSource::Terminal) {
    opened = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (opened == INVALID_HANDLE_VALUE) return {ConsoleLine::End::NoLine, {}};  // no console
    input = opened;
  }
  std::string line;
  ReadEnd end;
  bool wasHidden;
  bool interrupted;
  {
    const bool console = isConsoleHandle(input);
    HiddenEcho hidden(input, console && echo == Echo::Hidden);
    wasHidden = hidden.hidden();
    WaitingRead waiting;
    end = console ? readConsoleLineFrom(input, line) : readBytesLineFrom(input, line);
    interrupted = waiting.interrupted();
  }
  if (opened) CloseHandle(opened);
  // The Enter that ended a hidden line was not echoed either.
  if (wasHidden) std::fputc('\n', stderr);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (end == ReadEnd::TooLong || interrupted || (end == ReadEnd::EndOfInput && line.empty())) {
    std::fill(line.begin(), line.end(), '\0');
    return {end == ReadEnd::TooLong ? ConsoleLine::End::TooLong : ConsoleLine::End::NoLine, {}};
  }
  return {ConsoleLine::End::Line, std::move(line)};
}

struct ConsoleInterrupts::State {};

ConsoleInterrupts::ConsoleInterrupts(std::function<void()> onInterrupt) : state_(new State) {
  Shared& s = shared();
  {
    std::lock_guard lock(s.mutex);
    s.onInterrupt = std::move(onInterrupt);
  }
  SetConsoleCtrlHandler(onControlKey, TRUE);
}

ConsoleInterrupts::~ConsoleInterrupts() {
  SetConsoleCtrlHandler(onControlKey, FALSE);
  Shared& s = shared();
  std::lock_guard lock(s.mutex);
  s.onInterrupt = nullptr;
}

void quitConsoleProgram(int status) {
  restoreConsoleAtExit();
  std::fflush(stdout);
  std::fflush(stderr);
  // No destructors, no atexit handlers: the job's threads may still hold what they'd free.
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(status));
  std::_Exit(status);  // never reached; tells the compiler so
}

}  // namespace lexora
