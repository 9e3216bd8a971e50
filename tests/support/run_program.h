// Runs one of our programs and collects what it printed.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace lexora::test {

struct ProgramRun {
  int exitStatus = -1;  // -1 when it did not exit normally
  std::string out;      // standard output
  std::string err;      // standard error
};

// A program started in the background, its output going to files.
class SpawnedProgram {
 public:
  // `input` is what its standard input reads (then end of file).
  SpawnedProgram(const std::string& program, const std::vector<std::string>& arguments,
                 const std::string& input = "");
  // Its standard input is a new pseudo-terminal, which is also its controlling terminal.
  struct OnTerminal {};
  SpawnedProgram(const std::string& program, const std::vector<std::string>& arguments, OnTerminal);
  ~SpawnedProgram();  // kills it if still running
  SpawnedProgram(const SpawnedProgram&) = delete;
  SpawnedProgram& operator=(const SpawnedProgram&) = delete;

  // Waits until its standard output or error contains `text`; false after `timeout`.
  bool waitForOutput(const std::string& text, std::chrono::milliseconds timeout);
  void signal(int signalNumber);
  // Types on its terminal (OnTerminal only): "\x03" is Ctrl-C, as the terminal sends it.
  void type(const std::string& keys);
  // Whether its terminal echoes what is typed (OnTerminal only).
  bool terminalEchoes() const;
  // Waits for it to end (killing it after `timeout`) and collects the result.
  ProgramRun finish(std::chrono::milliseconds timeout = std::chrono::seconds(60));

 private:
  struct Files;
  void start(const std::string& program, const std::vector<std::string>& arguments,
             const char* terminalName);
  std::unique_ptr<Files> files_;
  pid_t pid_ = -1;
  int terminal_ = -1;  // the pseudo-terminal's master side
};

// Runs `program` with `arguments` (no shell) to completion.
ProgramRun runProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& input = "");

// Path of a program this build made, e.g. "src/cli/lexora-cli".
std::string builtProgram(const std::string& relative);

}  // namespace lexora::test
