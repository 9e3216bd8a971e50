#include "app/win32/password_dialog.h"

#include "app/dialog_templates.h"

namespace lexora {

INT_PTR CALLBACK passwordDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<PasswordDialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      state = reinterpret_cast<PasswordDialogState*>(lParam);
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      state->window = dialog;
      placeModalDialog(dialog, *state);
      const std::wstring prompt(state->prompt.begin(), state->prompt.end());
      SetDlgItemTextW(dialog, password_control::kAttempts, prompt.c_str());
      SendDlgItemMessageW(dialog, password_control::kPassword, EM_LIMITTEXT, kPasswordMaxCharacters,
                          0);
      // TRUE: the focus goes to the first tab stop, which is OK, not the password field.
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        wchar_t typed[kPasswordMaxCharacters + 2] = {};
        const auto length = static_cast<size_t>(
            GetDlgItemTextW(dialog, password_control::kPassword, typed, std::size(typed)));
        // The limit is tested again on OK: text set by other means than typing.
        if (length > kPasswordMaxCharacters) return TRUE;
        state->answer = std::u16string(typed, typed + length);
        endModalDialog(dialog, *state, IDOK);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        endModalDialog(dialog, *state, IDCANCEL);
        return TRUE;
      }
      break;
    default:
      break;
  }
  return FALSE;
}

}  // namespace lexora
