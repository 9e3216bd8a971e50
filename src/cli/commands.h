// The commands of lexora-cli, each a function of its own.
#pragma once

#include "cli/command_line.h"

namespace lexora {

// Exit statuses shared by every command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;     // some file failed, a word was not found
inline constexpr int kExitUsage = 2;      // the command line itself is wrong
inline constexpr int kExitNoChannel = 3;  // send: no channel to the handheld could be opened
// A second Ctrl-C during send: the shell's status for a program ended by SIGINT.
inline constexpr int kExitInterrupted = 130;

int packCommand(const CommandLine& line);
int infoCommand(const CommandLine& line);
int inspectCommand(const CommandLine& line);
int sendCommand(const CommandLine& line);

// A usage mistake found by a command itself (its text already in the interface language):
// "lexora-cli: TEXT" and the hint to --help on standard error. Returns kExitUsage.
int usageError(const std::u16string& text);

// Shows `lead` (a failure about a file) as a message, then "DETAIL" on a line of its own;
// `detail` names the file and the system's reason.
void showFileFailure(UserInterface& ui, const BilingualText& lead, const std::string& detail);

}  // namespace lexora
