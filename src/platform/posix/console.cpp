// The console on POSIX systems: termios for hidden input, signals for the interrupt key.
#include "platform/console.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "base/bounded_line.h"
#include "base/mutex.h"

namespace lexora {
namespace {

// What the reading threads, the interrupt watcher and the exit paths share.
struct Shared {
  Mutex mutex;
  // Written by the watcher to wake a waiting read; made once, never closed.
  int wake[2] = {-1, -1};
  bool reading GUARDED_BY(mutex) = false;
  // The terminal whose echo is off, and how to put it back.
  int hiddenFd GUARDED_BY(mutex) = -1;
  termios saved GUARDED_BY(mutex){};
};

void restoreTerminalLocked(Shared& shared) REQUIRES(shared.mutex) {
  if (shared.hiddenFd >= 0) tcsetattr(shared.hiddenFd, TCSANOW, &shared.saved);
  shared.hiddenFd = -1;
}

void restoreTerminalAtExit();

Shared& shared() {
  static Shared* state = [] {
    auto* s = new Shared;  // never destroyed: the exit paths may still need it
    if (pipe2(s->wake, O_CLOEXEC | O_NONBLOCK) != 0) s->wake[0] = s->wake[1] = -1;
    std::atexit(restoreTerminalAtExit);
    return s;
  }();
  return *state;
}

void restoreTerminalAtExit() {
  Shared& s = shared();
  MutexLock lock(s.mutex);
  restoreTerminalLocked(s);
}

void drainWake(const Shared& s) {
  char bytes[16];
  while (s.wake[0] >= 0 && read(s.wake[0], bytes, sizeof bytes) > 0) {
  }
}

// Wakes the read in progress, if any; true when there was one to answer.
bool cancelRead() {
  Shared& s = shared();
  MutexLock lock(s.mutex);
  if (!s.reading || s.wake[1] < 0) return false;
  const char byte = 1;
  return write(s.wake[1], &byte, 1) == 1;
}

// Turns echo off on `fd` while it lives, when `fd` is a terminal.
class HiddenEcho {
 public:
  HiddenEcho(int fd, bool hide) {
    if (!hide) return;
    Shared& s = shared();
    MutexLock lock(s.mutex);
    termios old{};
    if (tcgetattr(fd, &old) != 0) return;
    termios quiet = old;
    quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
    if (tcsetattr(fd, TCSAFLUSH, &quiet) != 0) return;
    s.hiddenFd = fd;
    s.saved = old;
    hidden_ = true;
  }
  ~HiddenEcho() {
    if (!hidden_) return;
    Shared& s = shared();
    MutexLock lock(s.mutex);
    restoreTerminalLocked(s);
  }
  bool hidden() const { return hidden_; }
  HiddenEcho(const HiddenEcho&) = delete;
  HiddenEcho& operator=(const HiddenEcho&) = delete;

 private:
  bool hidden_ = false;
};

// Marks a read as waiting, so that the interrupt key answers it.
class WaitingRead {
 public:
  WaitingRead() {
    Shared& s = shared();
    MutexLock lock(s.mutex);
    drainWake(s);  // a wake meant for an earlier read must not end this one
    s.reading = true;
  }
  ~WaitingRead() {
    Shared& s = shared();
    MutexLock lock(s.mutex);
    s.reading = false;
    drainWake(s);
  }
  WaitingRead(const WaitingRead&) = delete;
  WaitingRead& operator=(const WaitingRead&) = delete;
};

enum class ReadEnd { Line, EndOfInput, Interrupted };

// Reads blocks until `line` is done. Standard input may hold more lines for later
// questions: what is read beyond this line waits in `leftover` for the next read.
ReadEnd readLineFrom(int fd, BoundedLine& line, std::string& leftover) {
  leftover.erase(0, line.add(leftover));
  if (line.done()) return ReadEnd::Line;
  const int wake = shared().wake[0];
  char block[512];
  const auto readBlocks = [&] {
    for (;;) {
      pollfd fds[2] = {{fd, POLLIN, 0}, {wake, POLLIN, 0}};
      if (poll(fds, wake >= 0 ? 2 : 1, -1) < 0) {
        if (errno == EINTR) continue;
        return ReadEnd::EndOfInput;
      }
      if (wake >= 0 && (fds[1].revents & POLLIN)) return ReadEnd::Interrupted;
      if (fds[0].revents == 0) continue;
      const ssize_t n = read(fd, block, sizeof block);
      if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      if (n <= 0) return ReadEnd::EndOfInput;
      const std::string_view bytes(block, static_cast<size_t>(n));
      const size_t taken = line.add(bytes);
      if (!line.done()) continue;
      leftover.assign(bytes.substr(taken));
      return ReadEnd::Line;
    }
  };
  const ReadEnd end = readBlocks();
  std::fill(block, block + sizeof block, '\0');  // it may have held a password
  return end;
}

}  // namespace

void prepareConsole() {}

std::vector<std::string> commandLineArguments(int argc, char** argv) {
  return std::vector<std::string>(argv + std::min(argc, 1), argv + argc);
}

bool isConsoleTerminal(ConsoleStream stream) {
  const int fd = stream == ConsoleStream::Input    ? STDIN_FILENO
                 : stream == ConsoleStream::Output ? STDOUT_FILENO
                                                   : STDERR_FILENO;
  return isatty(fd) == 1;
}

ConsoleLine readConsoleLine(LineSource source, Echo echo) {
  int fd = STDIN_FILENO;
  if (source == LineSource::Terminal) {
    fd = open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return {ConsoleLine::End::NoLine, {}};  // no controlling terminal
  }
  BoundedLine line(kPasswordLineMaxBytes);
  // A terminal opened for this read only gives what was typed; its rest goes with it.
  static std::string standardInputLeftover;
  std::string terminalLeftover;
  ReadEnd end;
  bool wasHidden;
  {
    HiddenEcho hidden(fd, echo == Echo::Hidden);
    wasHidden = hidden.hidden();
    WaitingRead waiting;
    end = readLineFrom(fd, line, fd == STDIN_FILENO ? standardInputLeftover : terminalLeftover);
  }
  if (fd != STDIN_FILENO) close(fd);
  // The Enter that ended a hidden line was not echoed either.
  if (wasHidden) std::fputc('\n', stderr);
  if (line.tooLong()) return {ConsoleLine::End::TooLong, {}};
  std::string text = line.take();
  if (end == ReadEnd::Interrupted || (end == ReadEnd::EndOfInput && text.empty())) {
    std::fill(text.begin(), text.end(), '\0');
    return {ConsoleLine::End::NoLine, {}};
  }
  return {ConsoleLine::End::Line, std::move(text)};
}

struct ConsoleInterrupts::State {
  std::function<void()> onInterrupt;
  sigset_t set{}, previous{};
  std::atomic<bool> done{false};
  std::thread watcher;

  // Signals are taken here with sigtimedwait, so no work happens in a signal handler.
  void watch() {
    const timespec tick{0, 100 * 1000 * 1000};
    while (!done) {
      const int signal = sigtimedwait(&set, nullptr, &tick);
      if (signal == SIGINT) {
        if (!cancelRead()) onInterrupt();
      } else if (signal == SIGTERM || signal == SIGHUP) {
        // Ended from outside: the terminal is put back, then the signal does what it
        // would have done.
        restoreTerminalAtExit();
        std::fflush(stdout);
        ::signal(signal, SIG_DFL);
        sigset_t one;
        sigemptyset(&one);
        sigaddset(&one, signal);
        pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
        raise(signal);
      }
    }
  }
};

ConsoleInterrupts::ConsoleInterrupts(std::function<void()> onInterrupt) : state_(new State) {
  shared();  // the wake pipe and the exit hook exist before any read can wait
  state_->onInterrupt = std::move(onInterrupt);
  sigemptyset(&state_->set);
  sigaddset(&state_->set, SIGINT);
  sigaddset(&state_->set, SIGTERM);
  sigaddset(&state_->set, SIGHUP);
  // Blocked before the other threads start, so every thread inherits the mask.
  pthread_sigmask(SIG_BLOCK, &state_->set, &state_->previous);
  state_->watcher = std::thread([state = state_.get()] { state->watch(); });
}

ConsoleInterrupts::~ConsoleInterrupts() {
  state_->done = true;
  state_->watcher.join();
  pthread_sigmask(SIG_SETMASK, &state_->previous, nullptr);
}

void quitConsoleProgram(int status) {
  restoreTerminalAtExit();
  std::fflush(stdout);
  std::fflush(stderr);
  _exit(status);
}

}  // namespace lexora
