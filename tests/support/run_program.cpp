#include "support/run_program.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <thread>

#include "support/test_support.h"

namespace lexora::test {

struct SpawnedProgram::Files {
  TempDir dir;
  std::string in = (dir / "in").string(), out = (dir / "out").string(),
              err = (dir / "err").string();
};

SpawnedProgram::SpawnedProgram(const std::string& program,
                               const std::vector<std::string>& arguments, const std::string& input)
    : files_(std::make_unique<Files>()) {
  writeFile(files_->in, input);
  start(program, arguments, nullptr);
}

SpawnedProgram::SpawnedProgram(const std::string& program,
                               const std::vector<std::string>& arguments, OnTerminal)
    : files_(std::make_unique<Files>()) {
  terminal_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (terminal_ < 0 || grantpt(terminal_) != 0 || unlockpt(terminal_) != 0) return;
  const std::string name = ptsname(terminal_);
  start(program, arguments, name.c_str());
}

void SpawnedProgram::start(const std::string& program, const std::vector<std::string>& arguments,
                           const char* terminalName) {
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const auto& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_ = fork();
  if (pid_ == 0) {
    if (terminalName) {
      // A session of its own, so that the terminal becomes its controlling terminal and
      // Ctrl-C typed there reaches it.
      setsid();
      const int slave = open(terminalName, O_RDWR);
      ioctl(slave, TIOCSCTTY, 0);
      dup2(slave, 0);
    } else {
      dup2(open(files_->in.c_str(), O_RDONLY), 0);
    }
    dup2(open(files_->out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
    dup2(open(files_->err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
    // Test runners may block or ignore SIGINT; the program must see it as a terminal would.
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    ::signal(SIGINT, SIG_DFL);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
}

SpawnedProgram::~SpawnedProgram() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (terminal_ >= 0) close(terminal_);
}

bool SpawnedProgram::waitForOutput(const std::string& text, std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < end) {
    if (readFile(files_->out).find(text) != std::string::npos ||
        readFile(files_->err).find(text) != std::string::npos) {
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

void SpawnedProgram::signal(int signalNumber) {
  if (pid_ > 0) kill(pid_, signalNumber);
}

void SpawnedProgram::type(const std::string& keys) {
  if (terminal_ >= 0 && write(terminal_, keys.data(), keys.size()) < 0) {
    ADD_FAILURE() << "cannot type on the program's terminal";
  }
}

bool SpawnedProgram::terminalEchoes() const {
  termios mode{};
  return terminal_ >= 0 && tcgetattr(terminal_, &mode) == 0 && (mode.c_lflag & ECHO) != 0;
}

ProgramRun SpawnedProgram::finish(std::chrono::milliseconds timeout) {
  ProgramRun run;
  const auto end = std::chrono::steady_clock::now() + timeout;
  int status = 0;
  while (waitpid(pid_, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > end) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  pid_ = -1;
  run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.out = readFile(files_->out);
  run.err = readFile(files_->err);
  return run;
}

ProgramRun runProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& input) {
  return SpawnedProgram(program, arguments, input).finish();
}

std::string builtProgram(const std::string& relative) {
  return std::string(LEXORA_BINARY_DIR) + "/" + relative;
}

}  // namespace lexora::test
