// CInputPasswordDialog on Win32: template 131 or 132, the prompt in control 1005, the masked
// field 1006 limited to 14 characters, focus on OK at opening; Cancel, Escape and the close
// box refuse.
#pragma once

#include <optional>
#include <string>

#include "app/win32/modal_dialog.h"
#include "link/password_answer.h"

namespace lexora {

struct PasswordDialogState : ModalDialogState {
  std::u16string prompt;                 // in: the attempts text
  std::optional<std::u16string> answer;  // out: the password, set only by OK
};

// The dialog procedure; the creation parameter is a PasswordDialogState*.
INT_PTR CALLBACK passwordDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace lexora
