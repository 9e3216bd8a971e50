#include "app/win32/dialog_resource.h"

#include <gtest/gtest.h>

namespace lexora {
namespace {

// Reads a DLGTEMPLATEEX back the way the dialog manager walks it, so a misplaced field or
// a missing alignment shows here, on any system, before Windows refuses the template.
class Reader {
 public:
  explicit Reader(const std::vector<uint16_t>& words) : words_(words) {}
  uint16_t word() { return words_.at(at_++); }
  uint32_t dword() {
    const uint32_t low = word();
    return low | uint32_t{word()} << 16;
  }
  int16_t coordinate() { return static_cast<int16_t>(word()); }
  std::u16string text() {
    std::u16string result;
    while (uint16_t c = word()) result += static_cast<char16_t>(c);
    return result;
  }
  void alignToDword() { at_ += at_ % 2; }
  bool atEnd() const { return at_ == words_.size(); }

 private:
  const std::vector<uint16_t>& words_;
  size_t at_ = 0;
};

TEST(DialogResource, EveryTemplateReadsBackAsItsData) {
  for (const DialogTemplate& dialog : kDialogTemplates) {
    SCOPED_TRACE(dialog.id);
    const std::vector<uint16_t> words = buildDialogResource(dialog);
    Reader in(words);
    EXPECT_EQ(in.word(), 1);
    EXPECT_EQ(in.word(), 0xFFFF);
    in.dword();  // help id
    const Win32Styles styles = win32DialogStyles(dialog);
    EXPECT_EQ(in.dword(), styles.exStyle);
    EXPECT_EQ(in.dword(), styles.style);
    ASSERT_EQ(in.word(), dialog.controls.size());
    const DialogRect size{in.coordinate(), in.coordinate(), in.coordinate(), in.coordinate()};
    EXPECT_EQ(size, dialog.size);
    EXPECT_EQ(in.word(), 0);  // menu
    EXPECT_EQ(in.word(), 0);  // class
    EXPECT_EQ(in.text(), dialog.caption);
    EXPECT_EQ(in.word(), dialog.font.points);
    in.dword();  // weight, italic, character set
    EXPECT_EQ(in.text(), dialog.font.face);
    for (const ControlTemplate& control : dialog.controls) {
      SCOPED_TRACE(control.id);
      in.alignToDword();
      in.dword();  // help id
      const Win32Styles item = win32ControlStyles(control);
      EXPECT_EQ(in.dword(), item.exStyle);
      EXPECT_EQ(in.dword(), item.style);
      const DialogRect place{in.coordinate(), in.coordinate(), in.coordinate(), in.coordinate()};
      EXPECT_EQ(place, control.place);
      EXPECT_EQ(static_cast<int32_t>(in.dword()), control.id);
      EXPECT_EQ(in.word(), 0xFFFF);
      EXPECT_EQ(in.word(), win32ControlClass(control.kind));
      EXPECT_EQ(in.text(), control.kind == ControlKind::Icon ? u"" : control.text);
      EXPECT_EQ(in.word(), 0);
    }
    EXPECT_TRUE(in.atEnd());
  }
}

TEST(DialogResource, StylesOfTheMainAndThePasswordDialog) {
  // WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME | DS_SETFONT, shown in
  // the task bar; the password dialog's shell font adds DS_FIXEDSYS (DS_SHELLFONT).
  EXPECT_EQ(win32DialogStyles(mainDialogTemplate(UiLanguage::English)),
            (Win32Styles{0x80CA00C0, 0x00040000}));
  EXPECT_EQ(win32DialogStyles(passwordDialogTemplate(UiLanguage::English)),
            (Win32Styles{0x80C800C8, 0}));
  const DialogTemplate& main = mainDialogTemplate(UiLanguage::English);
  // WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_READONLY | ES_AUTOHSCROLL.
  EXPECT_EQ(win32ControlStyles(*findControl(main, main_control::kFileBox)).style, 0x50810880u);
  // ... | WS_DISABLED | BS_DEFPUSHBUTTON for Stop.
  EXPECT_EQ(win32ControlStyles(*findControl(main, main_control::kStop)).style, 0x58010001u);
  // The password field: WS_BORDER | WS_TABSTOP | ES_PASSWORD | ES_AUTOHSCROLL.
  EXPECT_EQ(win32ControlStyles(*findControl(passwordDialogTemplate(UiLanguage::English),
                                            password_control::kPassword))
                .style,
            0x508100A0u);
}

}  // namespace
}  // namespace lexora
