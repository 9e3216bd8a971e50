#include "app/win32/about_box.h"

namespace lexora {

INT_PTR CALLBACK aboutBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<AboutBoxState*>(GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      state = reinterpret_cast<AboutBoxState*>(lParam);
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      placeModalDialog(dialog, *state);
      // The template's only icon control carries no id of its own.
      for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
          SendMessageW(child, STM_SETICON, reinterpret_cast<WPARAM>(state->icon), 0);
        }
      }
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        endModalDialog(dialog, *state, LOWORD(wParam));
        return TRUE;
      }
      break;
    default:
      break;
  }
  return FALSE;
}

}  // namespace lexora
