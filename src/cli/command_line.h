// lexora-cli's command line: which command, its operands and options, or why the line is
// wrong. Reading it changes nothing in the process: the caller makes --lang and
// --ansi-code-page take hold before it shows anything.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/console_user_interface.h"
#include "platform/ui_language.h"

namespace lexora {

enum class Command { None, Pack, Info, Inspect, Send };

struct CommandLine {
  Command command = Command::None;
  std::vector<std::string> operands;     // files, images, words
  std::optional<std::string> output;     // -o ("-": standard output)
  std::optional<std::string> outputDir;  // --output-dir
  std::optional<std::string> device;     // --device
  std::optional<std::string> name;       // --name, UTF-8
  ConsoleUserInterface::Answers answers = ConsoleUserInterface::Answers::Ask;
  ConsoleUserInterface::Detail detail = ConsoleUserInterface::Detail::Normal;
  bool passwordFromStdin = false;  // --password-stdin
  bool force = false;              // --force
  bool markupAsText = false;       // --markup-as-text
  // Process-wide choices, the last valid one given.
  std::optional<UiLanguage> language;       // --lang
  std::optional<std::string> ansiCodePage;  // --ansi-code-page, a name the system knows
};

struct ParsedCommandLine {
  enum class Action { Run, Help, Version, UsageError };
  Action action = Action::Run;
  CommandLine line;
  // UsageError: the first mistake found (a text from the table, and the argument it is
  // about), composed only when shown, so that it speaks the language --lang chose, even a
  // --lang that came after the mistake.
  const BilingualText* mistake = nullptr;
  std::string about;
  std::u16string error() const;
};

// Reads argv[1..argc). --help and --version win over mistakes, a mistake over running.
ParsedCommandLine parseCommandLine(int argc, const char* const* argv);

// What --help prints: the whole program's help for Command::None, else the command's own.
// Without `deviceOption` (where send reaches the handheld through its vendor's service
// and refuses --device) the help names no --device.
std::u16string helpText(Command command, bool deviceOption);

}  // namespace lexora
