// The desktop program's command line: the files to select at start, or --help, --version,
// or a mistake. Both desktop programs (Qt and Win32) read their arguments with it.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace lexora {

struct AppCommandLine {
  enum class Action { Run, Help, Version, UsageError };
  Action action = Action::Run;
  // Run: the arguments that are files, by their index, in order. Indices rather than copies
  // let a caller keep each file in the exact form it was given (wide text on Windows).
  std::vector<size_t> files;
  // UsageError: the first argument that looks like an option and is none.
  std::string unknownOption;
};

// Reads the arguments after the program's name. --help (-h) and --version (-V) win over a
// mistake anywhere on the line; "--" ends the options, so every argument after it is a
// file, even one starting with '-'.
AppCommandLine parseAppCommandLine(const std::vector<std::string>& arguments);

// What --help prints, in the interface language; ends in LF.
std::u16string appUsageText();
// The line that names a mistaken option, in the interface language, without the usage.
std::u16string appUsageMistake(const std::string& option);

// The exit status of a wrong command line, as lexora-cli's.
inline constexpr int kAppExitUsage = 2;

}  // namespace lexora
