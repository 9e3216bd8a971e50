// CAboutDlg on Win32: template 100 or 104 with the application icon; OK, Escape and the close
// box end it.
#pragma once

#include "app/win32/modal_dialog.h"

namespace lexora {

struct AboutBoxState : ModalDialogState {
  HICON icon = nullptr;  // shown in the template's icon control; may be null
};

// The dialog procedure; the creation parameter is an AboutBoxState*.
INT_PTR CALLBACK aboutBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace lexora
