// CLexoraApp on Win32: the start-up of Lexora.exe. Common controls, the settings' company
// key, the language decided before the main template is chosen, the dialog shown modally;
// the program ends with it.
#pragma once

#include <windows.h>

namespace lexora {

class CLexoraApp {
 public:
  explicit CLexoraApp(HINSTANCE instance) : instance_(instance) {}
  // Runs the program; returns its exit code once the main dialog has ended.
  int run();

 private:
  HINSTANCE instance_;
};

}  // namespace lexora
