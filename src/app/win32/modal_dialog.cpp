#include "app/win32/modal_dialog.h"

namespace lexora {

void endModalDialog(HWND dialog, ModalDialogState& state, INT_PTR result) {
  state.result = result;
  state.ended = true;
  EndDialog(dialog, result);
}

}  // namespace lexora
