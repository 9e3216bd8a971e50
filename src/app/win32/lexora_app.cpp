#include "app/win32/lexora_app.h"

#include <commctrl.h>
#include <shellapi.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/app_command_line.h"
#include "app/lexora_dialog.h"
#include "app/win32/win32_dialog_view.h"
#include "base/bilingual_text.h"
#include "base/text_codec.h"
#include "link/com/com_service_win.h"
#include "platform/application.h"
#include "platform/program_version.h"
#include "platform/ui_language.h"

namespace lexora {
namespace {

// The program file's name without its extension: the message boxes' caption and the name
// under which the settings are kept (normally Lexora).
std::string programName() {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length == MAX_PATH) return "Lexora";
  return std::filesystem::path(path, path + length).stem().string();
}

std::vector<std::u16string> commandLineArguments() {
  std::vector<std::u16string> arguments;
  int count = 0;
  wchar_t** given = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!given) return arguments;
  for (int i = 1; i < count; ++i) {
    arguments.emplace_back(given[i], given[i] + wcslen(given[i]));
  }
  LocalFree(given);
  return arguments;
}

// The files among the arguments (as Explorer passes them to "Open with"), made full paths
// and kept in their order; each keeps the wide form it was given in.
std::vector<std::u16string> commandLineFiles(const std::vector<std::u16string>& arguments,
                                             const AppCommandLine& line) {
  std::vector<std::u16string> files;
  for (size_t index : line.files) {
    const std::wstring argument(arguments[index].begin(), arguments[index].end());
    wchar_t full[MAX_PATH];
    const DWORD length = GetFullPathNameW(argument.c_str(), MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH) continue;
    files.emplace_back(full, full + length);
  }
  return files;
}

// Writes `text` where the user who typed the command can read it: the redirected standard
// handle (UTF-8 bytes), else the console of the shell that started us, else a message box,
// since a program without a console of its own may have been started from Explorer.
void tellUser(std::u16string_view text, DWORD standardHandle, MessageIcon icon) {
  const HANDLE redirected = GetStdHandle(standardHandle);
  DWORD consoleMode = 0;
  if (redirected && redirected != INVALID_HANDLE_VALUE &&
      GetConsoleMode(redirected, &consoleMode)) {
    // A console after all: wide text, whatever its code page.
    DWORD written = 0;
    WriteConsoleW(redirected, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    return;
  }
  if (redirected && redirected != INVALID_HANDLE_VALUE) {
    const std::string bytes = utf16ToUtf8(text);
    DWORD written = 0;
    WriteFile(redirected, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    return;
  }
  if (AttachConsole(ATTACH_PARENT_PROCESS)) {
    const HANDLE console = CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, 0, nullptr);
    if (console != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      WriteConsoleW(console, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
      CloseHandle(console);
      FreeConsole();
      return;
    }
    FreeConsole();
  }
  const std::wstring wide(text.begin(), text.end());
  const std::u16string caption = utf8ToUtf16(applicationName());
  const std::wstring wideCaption(caption.begin(), caption.end());
  MessageBoxW(nullptr, wide.c_str(), wideCaption.c_str(),
              icon == MessageIcon::Warning ? MB_OK | MB_ICONWARNING : MB_OK | MB_ICONINFORMATION);
}

constexpr BilingualText kDialogNotOpened{u"无法打开对话框（系统错误 ",
                                         u"The dialog could not be opened (system error "};

// --help, --version or a mistake, answered without the dialog; the exit status.
int answerWithoutWindow(const AppCommandLine& line) {
  switch (line.action) {
    case AppCommandLine::Action::Help:
      tellUser(appUsageText(), STD_OUTPUT_HANDLE, MessageIcon::Information);
      return 0;
    case AppCommandLine::Action::Version:
      tellUser(utf8ToUtf16(programVersionText("lexora")), STD_OUTPUT_HANDLE,
               MessageIcon::Information);
      return 0;
    case AppCommandLine::Action::UsageError:
      tellUser(appUsageMistake(line.unknownOption) + appUsageText(), STD_ERROR_HANDLE,
               MessageIcon::Warning);
      return kAppExitUsage;
    case AppCommandLine::Action::Run:
      break;
  }
  return 0;
}

}  // namespace

int CLexoraApp::run() {
  INITCOMMONCONTROLSEX controls{sizeof controls, 0xFF};  // the classic set, every class
  InitCommonControlsEx(&controls);
  // The settings live under HKEY_CURRENT_USER\Software\Lexora\<program name>.
  setApplicationName(programName());
  const std::vector<std::u16string> arguments = commandLineArguments();
  std::vector<std::string> utf8Arguments;
  for (const std::u16string& argument : arguments) utf8Arguments.push_back(utf16ToUtf8(argument));
  const AppCommandLine line = parseAppCommandLine(utf8Arguments);
  if (line.action != AppCommandLine::Action::Run) return answerWithoutWindow(line);
  const HICON icon = LoadIconW(instance_, MAKEINTRESOURCEW(kIconApplication));
  Win32DialogView view(instance_, icon);
  CLexoraDlg dialog(view, vendorServiceFactory());
  view.attach(dialog);
  view.selectAtStart(commandLineFiles(arguments, line));
  // The language is decided (from the settings named above) before the template is chosen.
  if (view.runModal(mainDialogTemplate(GetUiLanguage())) == -1) {
    // No window could be made (no desktop to show it on, say): not a run that went well.
    const std::u16string code = utf8ToUtf16(std::to_string(GetLastError()));
    tellUser(std::u16string(pick(kDialogNotOpened)) + code + u")\n", STD_ERROR_HANDLE,
             MessageIcon::Warning);
    return 1;
  }
  return 0;
}

}  // namespace lexora
