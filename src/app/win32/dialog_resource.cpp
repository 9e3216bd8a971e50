#include "app/win32/dialog_resource.h"

#include <string_view>

namespace lexora {
namespace {

// <windows.h> values.
constexpr uint32_t kWsPopup = 0x80000000;
constexpr uint32_t kWsChild = 0x40000000;
constexpr uint32_t kWsVisible = 0x10000000;
constexpr uint32_t kWsDisabled = 0x08000000;
constexpr uint32_t kWsCaption = 0x00C00000;
constexpr uint32_t kWsBorder = 0x00800000;
constexpr uint32_t kWsSysMenu = 0x00080000;
constexpr uint32_t kWsGroup = 0x00020000;
constexpr uint32_t kWsMinimizeBox = 0x00020000;
constexpr uint32_t kWsTabStop = 0x00010000;
constexpr uint32_t kWsExAppWindow = 0x00040000;
constexpr uint32_t kDsModalFrame = 0x80;
constexpr uint32_t kDsSetFont = 0x40;
constexpr uint32_t kDsFixedSys = 0x08;
constexpr uint32_t kBsDefPushButton = 0x01;
constexpr uint32_t kEsPassword = 0x20;
constexpr uint32_t kEsAutoHScroll = 0x80;
constexpr uint32_t kEsReadOnly = 0x800;
constexpr uint32_t kSsIcon = 0x03;
constexpr uint8_t kDefaultCharset = 1;

uint32_t mapped(uint32_t styles, std::initializer_list<std::pair<uint32_t, uint32_t>> table) {
  uint32_t result = 0;
  for (const auto& [ours, theirs] : table) {
    if (styles & ours) result |= theirs;
  }
  return result;
}

class Writer {
 public:
  void word(uint16_t value) { words_.push_back(value); }
  void dword(uint32_t value) {
    word(static_cast<uint16_t>(value & 0xFFFF));
    word(static_cast<uint16_t>(value >> 16));
  }
  void coordinate(int value) { word(static_cast<uint16_t>(static_cast<int16_t>(value))); }
  void text(std::u16string_view value) {
    for (char16_t c : value) word(c);
    word(0);
  }
  void alignToDword() {
    if (words_.size() % 2) word(0);
  }
  std::vector<uint16_t> take() { return std::move(words_); }

 private:
  std::vector<uint16_t> words_;
};

}  // namespace

Win32Styles win32DialogStyles(const DialogTemplate& dialog) {
  Win32Styles result;
  result.style = mapped(dialog.styles, {{kStylePopup, kWsPopup},
                                        {kStyleCaption, kWsCaption},
                                        {kStyleSystemMenu, kWsSysMenu},
                                        {kStyleMinimizeBox, kWsMinimizeBox},
                                        {kStyleModalFrame, kDsModalFrame}});
  // "MS Shell Dlg" is the shell font's alias: DS_SHELLFONT lets the dialog manager map it
  // to the system's current shell font, as a resource compiler marks it.
  result.style |= kDsSetFont;
  if (dialog.font.face == u"MS Shell Dlg") result.style |= kDsFixedSys;
  result.exStyle = mapped(dialog.styles, {{kStyleAppWindow, kWsExAppWindow}});
  return result;
}

Win32Styles win32ControlStyles(const ControlTemplate& control) {
  Win32Styles result;
  result.style = kWsChild | mapped(control.styles, {{kStyleVisible, kWsVisible},
                                                    {kStyleDisabled, kWsDisabled},
                                                    {kStyleTabStop, kWsTabStop},
                                                    {kStyleGroup, kWsGroup},
                                                    {kStyleBorder, kWsBorder}});
  switch (control.kind) {
    case ControlKind::PushButton:
      result.style |= mapped(control.styles, {{kStyleDefaultButton, kBsDefPushButton}});
      break;
    case ControlKind::Edit:
      result.style |= mapped(control.styles, {{kStyleReadOnly, kEsReadOnly},
                                              {kStyleAutoHScroll, kEsAutoHScroll},
                                              {kStylePassword, kEsPassword}});
      break;
    case ControlKind::Icon:
      result.style |= kSsIcon;
      break;
    case ControlKind::StaticText:
      break;
  }
  return result;
}

uint16_t win32ControlClass(ControlKind kind) {
  switch (kind) {
    case ControlKind::PushButton:
      return 0x80;
    case ControlKind::Edit:
      return 0x81;
    case ControlKind::StaticText:
    case ControlKind::Icon:
      break;
  }
  return 0x82;
}

std::vector<uint16_t> buildDialogResource(const DialogTemplate& dialog) {
  Writer out;
  const Win32Styles styles = win32DialogStyles(dialog);
  out.word(1);       // dlgVer
  out.word(0xFFFF);  // signature: the extended template
  out.dword(0);      // helpID
  out.dword(styles.exStyle);
  out.dword(styles.style);
  out.word(static_cast<uint16_t>(dialog.controls.size()));
  out.coordinate(dialog.size.x);
  out.coordinate(dialog.size.y);
  out.coordinate(dialog.size.width);
  out.coordinate(dialog.size.height);
  out.word(0);  // no menu
  out.word(0);  // the predefined dialog class
  out.text(dialog.caption);
  out.word(static_cast<uint16_t>(dialog.font.points));
  out.word(0);                                            // weight: the face's own
  out.word(static_cast<uint16_t>(kDefaultCharset << 8));  // italic (low byte), charset (high)
  out.text(dialog.font.face);
  for (const ControlTemplate& control : dialog.controls) {
    out.alignToDword();
    const Win32Styles item = win32ControlStyles(control);
    out.dword(0);  // helpID
    out.dword(item.exStyle);
    out.dword(item.style);
    out.coordinate(control.place.x);
    out.coordinate(control.place.y);
    out.coordinate(control.place.width);
    out.coordinate(control.place.height);
    out.dword(static_cast<uint32_t>(control.id));
    out.word(0xFFFF);
    out.word(win32ControlClass(control.kind));
    // The icon is set by the view once created: the template names no resource, so the
    // dialog builds in any module, the tests' included.
    out.text(control.kind == ControlKind::Icon ? std::u16string_view() : control.text);
    out.word(0);  // no creation data
  }
  return out.take();
}

}  // namespace lexora
