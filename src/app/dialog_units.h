// Dialog units to pixels, as the platform's MapDialogRect does: a horizontal unit is a
// quarter of the dialog font's average character width, a vertical one an eighth of its
// height, so a layout keeps its proportions on any font and screen scale.
#pragma once

namespace lexora {

struct DialogRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  friend constexpr bool operator==(const DialogRect&, const DialogRect&) = default;
};

// `charWidth` and `charHeight`: the dialog font's average character size in pixels.
// Truncates toward zero, as the platform does.
constexpr DialogRect dialogUnitsToPixels(DialogRect units, int charWidth, int charHeight) {
  return {units.x * charWidth / 4, units.y * charHeight / 8, units.width * charWidth / 4,
          units.height * charHeight / 8};
}

}  // namespace lexora
