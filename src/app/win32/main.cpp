// Lexora.exe: the native Windows dialog.
#include <windows.h>

#include "app/win32/lexora_app.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  return lexora::CLexoraApp(instance).run();
}
