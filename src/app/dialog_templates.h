// The dialog templates and the string table as data: the main dialog (102 Chinese, 103
// English), the About box (100, 104) and the password dialog (131, 132). Each dialog is one
// layout with a text per language; every view builds its windows from the templates derived
// from it, and a resource script can be generated from them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "app/dialog_units.h"
#include "platform/ui_language.h"

namespace lexora {

enum class ControlKind { StaticText, Icon, Edit, PushButton };

// Window and control styles, as toolkit-neutral flags; each view maps them to its own.
enum Style : uint32_t {
  kStyleNone = 0,
  // Dialogs.
  kStylePopup = 1u << 0,
  kStyleCaption = 1u << 1,
  kStyleSystemMenu = 1u << 2,
  kStyleMinimizeBox = 1u << 3,
  kStyleModalFrame = 1u << 4,
  kStyleAppWindow = 1u << 5,  // shown in the task bar
  // Controls.
  kStyleVisible = 1u << 8,
  kStyleDisabled = 1u << 9,
  kStyleTabStop = 1u << 10,
  kStyleGroup = 1u << 11,
  kStyleBorder = 1u << 12,
  kStyleReadOnly = 1u << 13,
  kStyleAutoHScroll = 1u << 14,
  kStylePassword = 1u << 15,
  kStyleDefaultButton = 1u << 16,
};

// Controls without an id of their own (labels, the icon) carry this one, as on Windows.
inline constexpr int kNoControlId = -1;
// The id the dialog manager treats as OK in any dialog: Enter presses it when no button
// has the focus.
inline constexpr int kDialogOkId = 1;
inline constexpr int kIconApplication = 128;

// Each dialog numbers its controls on its own; the values are the resource ids the Windows
// build uses, so two dialogs may reuse a number.
namespace main_control {
inline constexpr int kExit = 2;  // the cancel command: Exit, Escape and the close box
inline constexpr int kBrowse = 3;
inline constexpr int kAbout = 4;
inline constexpr int kFileBox = 1000;
inline constexpr int kStatusLine = 1001;
inline constexpr int kLanguage = 1002;
inline constexpr int kFileLabel = 1004;
inline constexpr int kSend = 1006;
inline constexpr int kStop = 1007;
}  // namespace main_control

namespace about_control {
inline constexpr int kOk = kDialogOkId;
}  // namespace about_control

namespace password_control {
inline constexpr int kOk = kDialogOkId;
inline constexpr int kCancel = 2;
inline constexpr int kAttempts = 1005;
inline constexpr int kPassword = 1006;
}  // namespace password_control

struct ControlTemplate {
  int id;
  ControlKind kind;
  std::u16string_view text;  // an Icon control shows icon kIconApplication instead
  DialogRect place;          // dialog units
  uint32_t styles;
};

struct DialogFont {
  std::u16string_view face;
  int points;
};

struct DialogTemplate {
  int id;
  std::u16string_view caption;
  DialogRect size;  // x and y are 0; dialog units
  uint32_t styles;
  DialogFont font;
  std::span<const ControlTemplate> controls;  // in order: creation and tab order
};

// A dialog's layout, written once for both languages; the template of each language is
// derived from it, so the two can differ only in their texts.
struct ControlLayout {
  int id;
  ControlKind kind;
  BilingualText text;
  DialogRect place;
  uint32_t styles;
};

struct DialogLayout {
  int chineseId;  // the template numbers
  int englishId;
  BilingualText caption;
  DialogRect size;
  uint32_t styles;
  DialogFont font;
  constexpr int id(UiLanguage language) const {
    return language == UiLanguage::Chinese ? chineseId : englishId;
  }
};

// A string of the string table, numbered per language.
struct StringTableEntry {
  int chineseId;
  int englishId;
  BilingualText text;
};

namespace templates {

inline constexpr DialogFont kSimSun{u"宋体", 9};
inline constexpr DialogFont kShellDlg{u"MS Shell Dlg", 8};

inline constexpr uint32_t kMainStyles = kStylePopup | kStyleCaption | kStyleSystemMenu |
                                        kStyleMinimizeBox | kStyleModalFrame | kStyleAppWindow;
inline constexpr uint32_t kBoxStyles =
    kStylePopup | kStyleCaption | kStyleSystemMenu | kStyleModalFrame;
inline constexpr uint32_t kButton = kStyleVisible | kStyleTabStop;
inline constexpr uint32_t kDefButton = kButton | kStyleDefaultButton;
inline constexpr uint32_t kLabel = kStyleVisible;
inline constexpr uint32_t kReadOnlyBox =
    kStyleVisible | kStyleReadOnly | kStyleBorder | kStyleTabStop;

inline constexpr DialogLayout kMainDialog{
    102, 103, {u"莱克索拉", u"Lexora"}, {0, 0, 338, 93}, kMainStyles, kSimSun};

inline constexpr ControlLayout kMainControls[] = {
    {main_control::kFileLabel,
     ControlKind::StaticText,
     {u"词典文件：", u"Dictionary File:"},
     {7, 7, 120, 9},
     kLabel},
    {main_control::kFileBox,
     ControlKind::Edit,
     {u"", u""},
     {7, 18, 206, 13},
     kReadOnlyBox | kStyleAutoHScroll},
    {main_control::kBrowse,
     ControlKind::PushButton,
     {u"浏览", u"Browse"},
     {220, 18, 44, 14},
     kDefButton},
    {main_control::kSend,
     ControlKind::PushButton,
     {u"发送", u"Send"},
     {61, 54, 44, 17},
     kDefButton},
    {main_control::kStop,
     ControlKind::PushButton,
     {u"停止", u"Stop"},
     {136, 54, 44, 17},
     kDefButton | kStyleDisabled},
    {main_control::kExit, ControlKind::PushButton, {u"退出", u"Exit"}, {281, 7, 50, 16}, kButton},
    {main_control::kAbout,
     ControlKind::PushButton,
     {u"关于", u"About"},
     {281, 30, 50, 16},
     kButton},
    // Each language's button offers the other one.
    {main_control::kLanguage,
     ControlKind::PushButton,
     {u"English UI", u"中文界面"},
     {281, 53, 50, 16},
     kDefButton},
    {main_control::kStatusLine, ControlKind::Edit, {u"", u""}, {7, 73, 324, 13}, kReadOnlyBox},
};

inline constexpr DialogLayout kAboutBox{
    100, 104, {u"关于 Lexora", u"About Lexora"}, {0, 0, 235, 69}, kBoxStyles, kSimSun};

// The credit lines' wording is ours to choose.
inline constexpr ControlLayout kAboutControls[] = {
    {kNoControlId, ControlKind::Icon, {u"", u""}, {11, 17, 20, 20}, kLabel},
    {kNoControlId,
     ControlKind::StaticText,
     {u"莱克索拉 2.12 版", u"Lexora v2.12"},
     {40, 10, 119, 8},
     kLabel},
    {about_control::kOk,
     ControlKind::PushButton,
     {u"确定", u"OK"},
     {178, 7, 50, 16},
     kDefButton | kStyleGroup},
    {kNoControlId,
     ControlKind::StaticText,
     {u"词典打包与发送工具", u"Dictionary packer and sender"},
     {40, 25, 119, 8},
     kLabel},
    {kNoControlId,
     ControlKind::StaticText,
     {u"支持文本与StarDict词典", u"Text and StarDict dictionaries"},
     {40, 39, 119, 8},
     kLabel},
    {kNoControlId,
     ControlKind::StaticText,
     {u"Lexora 项目", u"The Lexora project"},
     {40, 54, 119, 8},
     kLabel},
};

inline constexpr DialogLayout kPasswordDialog{
    131,        132,      {u"输入手机密码", u"Input Mobile Phone' Password"}, {0, 0, 246, 74},
    kBoxStyles, kShellDlg};

inline constexpr ControlLayout kPasswordControls[] = {
    {password_control::kOk,
     ControlKind::PushButton,
     {u"确定", u"OK"},
     {48, 53, 50, 14},
     kDefButton},
    {password_control::kCancel,
     ControlKind::PushButton,
     {u"取消", u"Cancel"},
     {138, 53, 50, 14},
     kButton},
    {password_control::kAttempts,
     ControlKind::StaticText,
     {u"您还可以尝试100次", u"You have 100 attemptes remaining"},
     {7, 7, 231, 12},
     kLabel | kStyleGroup},
    {password_control::kPassword,
     ControlKind::Edit,
     {u"", u""},
     {7, 20, 231, 13},
     kStyleVisible | kStyleBorder | kStyleTabStop | kStylePassword | kStyleAutoHScroll},
};

template <size_t N>
constexpr std::array<ControlTemplate, N> controlsIn(const ControlLayout (&rows)[N],
                                                    UiLanguage language) {
  std::array<ControlTemplate, N> controls{};
  for (size_t i = 0; i < N; ++i) {
    const ControlLayout& row = rows[i];
    controls[i] = {row.id, row.kind, row.text.in(language), row.place, row.styles};
  }
  return controls;
}

// The controls of one layout in one language, kept for the program's lifetime.
template <const auto& rows, UiLanguage language>
inline constexpr auto kControlsIn = controlsIn(rows, language);

template <const DialogLayout& dialog, const auto& rows, UiLanguage language>
inline constexpr DialogTemplate kTemplateIn{dialog.id(language), dialog.caption.in(language),
                                            dialog.size,         dialog.styles,
                                            dialog.font,         kControlsIn<rows, language>};

}  // namespace templates

inline constexpr DialogTemplate kDialogTemplates[] = {
    templates::kTemplateIn<templates::kAboutBox, templates::kAboutControls, UiLanguage::Chinese>,
    templates::kTemplateIn<templates::kMainDialog, templates::kMainControls, UiLanguage::Chinese>,
    templates::kTemplateIn<templates::kMainDialog, templates::kMainControls, UiLanguage::English>,
    templates::kTemplateIn<templates::kAboutBox, templates::kAboutControls, UiLanguage::English>,
    templates::kTemplateIn<templates::kPasswordDialog, templates::kPasswordControls,
                           UiLanguage::Chinese>,
    templates::kTemplateIn<templates::kPasswordDialog, templates::kPasswordControls,
                           UiLanguage::English>,
};

// The text of the system menu's About item, 101 Chinese and 102 English.
inline constexpr StringTableEntry kStringTable[] = {
    {101, 102, {u"关于 Lexora(&A)...", u"About Lexora(&A)..."}},
};
inline constexpr int kSystemMenuAboutCommand = 16;

// The template by number; null for a number that is none of ours.
const DialogTemplate* findDialogTemplate(int id);
// The control by id; null when the template has none (or the id is kNoControlId).
const ControlTemplate* findControl(const DialogTemplate& dialog, int id);
// The string by number; empty when there is none.
std::u16string_view loadString(int id);

// The templates for an interface language.
const DialogTemplate& mainDialogTemplate(UiLanguage language);
const DialogTemplate& aboutBoxTemplate(UiLanguage language);
const DialogTemplate& passwordDialogTemplate(UiLanguage language);
int aboutMenuStringId(UiLanguage language);

}  // namespace lexora
