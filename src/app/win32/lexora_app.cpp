#include "app/win32/lexora_app.h"

#include <commctrl.h>
#include <shellapi.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/lexora_dialog.h"
#include "app/win32/win32_dialog_view.h"
#include "link/com/com_service_win.h"
#include "platform/application.h"
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

// Every argument is a file (as Explorer passes them to "Open with"), made a full path and
// kept in its order.
std::vector<std::u16string> commandLineFiles() {
  std::vector<std::u16string> files;
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!arguments) return files;
  for (int i = 1; i < count; ++i) {
    wchar_t full[MAX_PATH];
    const DWORD length = GetFullPathNameW(arguments[i], MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH) continue;
    files.emplace_back(full, full + length);
  }
  LocalFree(arguments);
  return files;
}

}  // namespace

int CLexoraApp::run() {
  INITCOMMONCONTROLSEX controls{sizeof controls, 0xFF};  // the classic set, every class
  InitCommonControlsEx(&controls);
  // The settings live under HKEY_CURRENT_USER\Software\Lexora\<program name>.
  setApplicationName(programName());
  const HICON icon = LoadIconW(instance_, MAKEINTRESOURCEW(kIconApplication));
  Win32DialogView view(instance_, icon);
  CLexoraDlg dialog(view, vendorServiceFactory());
  view.attach(dialog);
  view.selectAtStart(commandLineFiles());
  // The language is decided (from the settings named above) before the template is chosen.
  view.runModal(mainDialogTemplate(GetUiLanguage()));
  return 0;
}

}  // namespace lexora
