// The text console the command line runs in: whether a stream is a terminal, reading a
// line (with the typed characters hidden for a password), and the interrupt key (Ctrl-C).
// One implementation per OS: termios and signals here, SetConsoleMode and
// SetConsoleCtrlHandler on Windows.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lexora {

enum class ConsoleStream { Input, Output, Error };

// Readies the console for what Lexora writes, UTF-8, once at start-up. Windows: the
// console's code pages become UTF-8 for the program's life (put back at its end) and
// standard output and error carry LF line ends; elsewhere there is nothing to do.
void prepareConsole();

// The program's arguments after the program's name, as UTF-8. Windows: taken from the
// UTF-16 command line (argv holds the ANSI code page's form, which cannot name every file);
// elsewhere argv's bytes as they are.
std::vector<std::string> commandLineArguments(int argc, char** argv);

// True when `stream` is an interactive terminal (not a file or a pipe): one that
// rewriteConsoleLine can rewrite a line on.
bool isConsoleTerminal(ConsoleStream stream);

// Writes `text` (UTF-8) to standard output or standard error, after what the C library
// holds for that stream. A Windows console is given it as UTF-16, which shows every
// character whatever the console's code page; a file, a pipe or a POSIX terminal gets the
// bytes unchanged.
void writeConsoleText(ConsoleStream stream, std::string_view text);

// On an interactive terminal, replaces the row the cursor is on with `text` (UTF-8) and
// leaves the cursor after it. POSIX: a carriage return and the erase-line sequence.
// Windows: the console's own calls, since not every console that accepts the request
// for escape sequences carries them out (Wine's shows them as text).
void rewriteConsoleLine(ConsoleStream stream, std::string_view text);

enum class LineSource {
  StandardInput,  // whatever standard input is: a terminal, a pipe, a file
  Terminal,       // the controlling terminal itself, even when standard input is redirected
};
enum class Echo { Shown, Hidden };

struct ConsoleLine {
  enum class End {
    Line,     // `text` holds the line
    NoLine,   // end of input, no terminal to read from, or the interrupt key
    TooLong,  // more than kPasswordLineMaxBytes without a line end: nothing more is read
  };
  End end;
  std::string text;
};

// Reads one line (without its line end) as UTF-8 bytes, in blocks and at most
// kPasswordLineMaxBytes of it (bounded_line.h). NoLine at end of input, when there is no
// terminal to read from, or when the interrupt key was pressed meanwhile (only while a
// ConsoleInterrupts lives: then that key answers the read, as Cancel). With Echo::Hidden
// the terminal shows nothing typed and is restored before returning, and also if the
// program quits meanwhile. What standard input holds beyond the line is kept for the next
// read. Any thread; one read at a time.
ConsoleLine readConsoleLine(LineSource source, Echo echo);

// Routes the interrupt key to `onInterrupt` while it lives, called on a thread of the
// platform's own (never in a signal handler). A key pressed while readConsoleLine waits
// cancels that read instead and is not passed on. At most one lives at a time; create it
// before starting other threads, so that they inherit the way the key is taken.
class ConsoleInterrupts {
 public:
  explicit ConsoleInterrupts(std::function<void()> onInterrupt);
  ~ConsoleInterrupts();
  ConsoleInterrupts(const ConsoleInterrupts&) = delete;
  ConsoleInterrupts& operator=(const ConsoleInterrupts&) = delete;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Ends the program at once with `status` (no destructors run), after putting the
// terminal back as it was and flushing standard output. Any thread.
[[noreturn]] void quitConsoleProgram(int status);

}  // namespace lexora
