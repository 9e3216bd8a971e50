// The dialog templates as the Windows dialog manager reads them: an in-memory DLGTEMPLATEEX
// built from the template data, so the native dialogs and the Qt ones come from one source.
// Pure data work, no Windows header: it builds and is tested on every system.
#pragma once

#include <cstdint>
#include <vector>

#include "app/dialog_templates.h"

namespace lexora {

// The Win32 window styles of a dialog or a control (the values of <windows.h>, which the
// Windows view checks against the real ones at compile time).
struct Win32Styles {
  uint32_t style = 0;
  uint32_t exStyle = 0;
  friend bool operator==(const Win32Styles&, const Win32Styles&) = default;
};
Win32Styles win32DialogStyles(const DialogTemplate& dialog);
Win32Styles win32ControlStyles(const ControlTemplate& control);

// The predefined window class of a control kind, as its atom: 0x80 button, 0x81 edit,
// 0x82 static (the icon is a static too).
uint16_t win32ControlClass(ControlKind kind);

// The DLGTEMPLATEEX of `dialog`, ready for DialogBoxIndirectParamW: no menu, the default
// dialog class, the caption, the font, and each control in order (DWORD-aligned relative
// to the start, which a vector's storage is).
std::vector<uint16_t> buildDialogResource(const DialogTemplate& dialog);

}  // namespace lexora
