#include <windows.h>

#include "support/test_support.h"

namespace lexora::test {

// Wine's ntdll exports its version; Windows' does not.
bool runningUnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace lexora::test
