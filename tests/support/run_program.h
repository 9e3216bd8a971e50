// Runs one of our programs and collects what it printed.
#pragma once

#include <string>
#include <vector>

namespace lexora::test {

struct ProgramRun {
  int exitStatus = -1;
  std::string out;  // standard output
  std::string err;  // standard error
};

// Runs `program` with `arguments` (no shell), standard input from /dev/null.
ProgramRun runProgram(const std::string& program, const std::vector<std::string>& arguments);

// Path of a program this build made, e.g. "src/cli/lexora-cli".
std::string builtProgram(const std::string& relative);

}  // namespace lexora::test
