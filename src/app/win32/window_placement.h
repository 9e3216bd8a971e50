// Where Lexora's windows open: the main dialog in the middle of the screen, a box in the
// middle of the window it belongs to.
#pragma once

#include <windows.h>

namespace lexora {

// Moves `window` (keeping its size) so that its centre is that of `over`, or of the work
// area of its monitor when `over` is null or minimised; then into that work area
// wherever it fits, its top-left corner last, so that the caption stays reachable.
void centreWindow(HWND window, HWND over);

}  // namespace lexora
