#include "app/win32/modal_dialog.h"

#include "app/win32/window_placement.h"

namespace lexora {

void placeModalDialog(HWND dialog, const ModalDialogState& state) {
  centreWindow(dialog, state.centredOver ? state.centredOver : GetWindow(dialog, GW_OWNER));
}

void endModalDialog(HWND dialog, ModalDialogState& state, INT_PTR result) {
  state.result = result;
  state.ended = true;
  EndDialog(dialog, result);
}

}  // namespace lexora
