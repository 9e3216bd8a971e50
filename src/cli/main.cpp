// lexora-cli: the transfer job and its tools, without a window.
#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "base/text_codec.h"
#include "cli/commands.h"
#include "cli/console_user_interface.h"
#include "cli/send_service.h"
#include "platform/ansi_code_page.h"
#include "platform/application.h"
#include "platform/console.h"
#include "platform/program_version.h"
#include "platform/settings_warning.h"
#include "platform/system_error_text.h"
#include "platform/ui_language.h"

using namespace lexora;

namespace {

// Output lost on a full disk or a closed pipe must not end in a success.
constexpr BilingualText kOutputLost{u"写入标准输出失败：", u"Writing to standard output failed: "};

// Everything a command printed is flushed here, so that a failed write (a full device, a
// closed pipe) turns the exit status into a failure even when the command itself succeeded.
int finishOutput(int status) {
  if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
    const int error = errno;
    writeConsoleText(ConsoleStream::Error,
                     "lexora-cli: " + utf16ToUtf8(pick(kOutputLost)) +
                         systemErrorText(error != 0 ? error : EIO, GetUiLanguage()) + "\n");
    return status == kExitOk ? kExitFailed : status;
  }
  return status;
}

// The line's process-wide choices take hold before anything is shown, whatever its action:
// a usage error, the help and the settings warning speak the language --lang chose.
void applyProcessOptions(const CommandLine& line) {
  if (line.language) setUiLanguageForRun(*line.language);
  // The parser has opened it already, so choosing it cannot fail.
  if (line.ansiCodePage) chooseAnsiCodePage(*line.ansiCodePage);
}

int runCommand(int argc, const char* const* argv) {
  setApplicationName("Lexora");  // shares the stored language choice with the desktop program
  const ParsedCommandLine parsed = parseCommandLine(argc, argv);
  const CommandLine& line = parsed.line;
  applyProcessOptions(line);
  // After --lang took hold, so that it picks the warning's language.
  if (const auto warning = takeSettingsWarning()) {
    ConsoleUserInterface ui;
    ui.showFileWarning(warning->text, warning->file, warning->systemError);
  }
  switch (parsed.action) {
    case ParsedCommandLine::Action::Help:
      writeConsoleText(ConsoleStream::Output,
                       utf16ToUtf8(helpText(line.command, sendTakesDeviceOption())));
      return kExitOk;
    case ParsedCommandLine::Action::Version:
      writeConsoleText(ConsoleStream::Output, programVersionText("lexora-cli"));
      return kExitOk;
    case ParsedCommandLine::Action::UsageError:
      return usageError(parsed.error());
    case ParsedCommandLine::Action::Run:
      break;
  }
  switch (line.command) {
    case Command::Pack:
      return packCommand(line);
    case Command::Info:
      return infoCommand(line);
    case Command::Inspect:
      return inspectCommand(line);
    case Command::Send:
      return sendCommand(line);
    case Command::None:
      break;
  }
  return kExitUsage;  // the parser reports a missing command as a mistake
}

}  // namespace

int main(int argc, char** argv) {
  prepareConsole();
  // UTF-8 on every system: on Windows argv holds the ANSI code page's form instead.
  const std::vector<std::string> arguments = commandLineArguments(argc, argv);
  std::vector<const char*> pointers{argc > 0 ? argv[0] : "lexora-cli"};
  for (const std::string& argument : arguments) pointers.push_back(argument.c_str());
  return finishOutput(runCommand(static_cast<int>(pointers.size()), pointers.data()));
}
