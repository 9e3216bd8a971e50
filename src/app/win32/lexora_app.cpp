#include "app/win32/lexora_app.h"

#include <commctrl.h>

#include <filesystem>

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
  // The language is decided (from the settings named above) before the template is chosen.
  view.runModal(mainDialogTemplate(GetUiLanguage()));
  return 0;
}

}  // namespace lexora
