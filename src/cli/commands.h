// The commands of lexora-cli, each a function of its own.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/console_user_interface.h"

namespace lexora {

// Exit statuses shared by every command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;     // some file failed, a word was not found
inline constexpr int kExitUsage = 2;      // the command line itself is wrong
inline constexpr int kExitNoChannel = 3;  // send: no channel to the handheld could be opened

struct CommandLine {
  std::vector<std::string> operands;     // files, image, words
  std::optional<std::string> output;     // -o
  std::optional<std::string> outputDir;  // --output-dir
  std::optional<std::string> device;     // --device
  ConsoleUserInterface::Answers answers = ConsoleUserInterface::Answers::Ask;
  bool passwordFromStdin = false;  // --password-stdin
};

int packCommand(const CommandLine& line);
int infoCommand(const CommandLine& line);
int inspectCommand(const CommandLine& line);
int sendCommand(const CommandLine& line);

}  // namespace lexora
