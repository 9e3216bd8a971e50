// What the About box and the password dialog share: the state their dialog procedure is
// given, which records how the dialog ended, so a test that runs the dialog without a modal
// loop reads the same result DialogBoxIndirectParamW would have returned.
#pragma once

#include <windows.h>

namespace lexora {

struct ModalDialogState {
  INT_PTR result = 0;
  bool ended = false;
  HWND window = nullptr;  // set by procedures whose dialog may be ended from outside
  // The window the dialog opens in the middle of; its owner when null.
  HWND centredOver = nullptr;
};

// Centres `dialog` over `state.centredOver` or its owner; on the screen when it has neither.
// For WM_INITDIALOG.
void placeModalDialog(HWND dialog, const ModalDialogState& state);

// Records `result` in `state` and ends the dialog with it.
void endModalDialog(HWND dialog, ModalDialogState& state, INT_PTR result);

}  // namespace lexora
