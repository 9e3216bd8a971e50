// The dialog templates and the string table as data: the main dialog (102 Chinese, 103
// English), the About box (100, 104) and the password dialog (131, 132). Every view builds
// its windows from these, and a resource script can be generated from them.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "app/dialog_units.h"

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

// Control ids of the main dialog.
inline constexpr int kIdOk = 1;
inline constexpr int kIdExit = 2;  // the cancel command: Exit, Escape and the close box
inline constexpr int kIdBrowse = 3;
inline constexpr int kIdAbout = 4;
inline constexpr int kIdFileBox = 1000;
inline constexpr int kIdStatusLine = 1001;
inline constexpr int kIdLanguage = 1002;
inline constexpr int kIdFileLabel = 1004;
inline constexpr int kIdSend = 1006;
inline constexpr int kIdStop = 1007;
// The password dialog.
inline constexpr int kIdCancel = 2;
inline constexpr int kIdAttempts = 1005;
inline constexpr int kIdPassword = 1006;
inline constexpr int kIconApplication = 128;

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

struct StringTableEntry {
  int id;
  std::u16string_view text;
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

inline constexpr ControlTemplate kMainChinese[] = {
    {kIdFileLabel, ControlKind::StaticText, u"词典文件：", {7, 7, 120, 9}, kLabel},
    {kIdFileBox, ControlKind::Edit, u"", {7, 18, 206, 13}, kReadOnlyBox | kStyleAutoHScroll},
    {kIdBrowse, ControlKind::PushButton, u"浏览", {220, 18, 44, 14}, kDefButton},
    {kIdSend, ControlKind::PushButton, u"发送", {61, 54, 44, 17}, kDefButton},
    {kIdStop, ControlKind::PushButton, u"停止", {136, 54, 44, 17}, kDefButton | kStyleDisabled},
    {kIdExit, ControlKind::PushButton, u"退出", {281, 7, 50, 16}, kButton},
    {kIdAbout, ControlKind::PushButton, u"关于", {281, 30, 50, 16}, kButton},
    {kIdLanguage, ControlKind::PushButton, u"English UI", {281, 53, 50, 16}, kDefButton},
    {kIdStatusLine, ControlKind::Edit, u"", {7, 73, 324, 13}, kReadOnlyBox},
};

inline constexpr ControlTemplate kMainEnglish[] = {
    {kIdFileLabel, ControlKind::StaticText, u"Dictionary File:", {7, 7, 120, 9}, kLabel},
    {kIdFileBox, ControlKind::Edit, u"", {7, 18, 206, 13}, kReadOnlyBox | kStyleAutoHScroll},
    {kIdBrowse, ControlKind::PushButton, u"Browse", {220, 18, 44, 14}, kDefButton},
    {kIdSend, ControlKind::PushButton, u"Send", {61, 54, 44, 17}, kDefButton},
    {kIdStop, ControlKind::PushButton, u"Stop", {136, 54, 44, 17}, kDefButton | kStyleDisabled},
    {kIdExit, ControlKind::PushButton, u"Exit", {281, 7, 50, 16}, kButton},
    {kIdAbout, ControlKind::PushButton, u"About", {281, 30, 50, 16}, kButton},
    {kIdLanguage, ControlKind::PushButton, u"中文界面", {281, 53, 50, 16}, kDefButton},
    {kIdStatusLine, ControlKind::Edit, u"", {7, 73, 324, 13}, kReadOnlyBox},
};

// The credit lines' wording is ours to choose.
inline constexpr ControlTemplate kAboutChinese[] = {
    {kNoControlId, ControlKind::Icon, u"", {11, 17, 20, 20}, kLabel},
    {kNoControlId, ControlKind::StaticText, u"莱克索拉 2.12 版", {40, 10, 119, 8}, kLabel},
    {kIdOk, ControlKind::PushButton, u"确定", {178, 7, 50, 16}, kDefButton | kStyleGroup},
    {kNoControlId, ControlKind::StaticText, u"词典打包与发送工具", {40, 25, 119, 8}, kLabel},
    {kNoControlId, ControlKind::StaticText, u"支持文本与StarDict词典", {40, 39, 119, 8}, kLabel},
    {kNoControlId, ControlKind::StaticText, u"Lexora 项目", {40, 54, 119, 8}, kLabel},
};

inline constexpr ControlTemplate kAboutEnglish[] = {
    {kNoControlId, ControlKind::Icon, u"", {11, 17, 20, 20}, kLabel},
    {kNoControlId, ControlKind::StaticText, u"Lexora v2.12", {40, 10, 119, 8}, kLabel},
    {kIdOk, ControlKind::PushButton, u"OK", {178, 7, 50, 16}, kDefButton | kStyleGroup},
    {kNoControlId,
     ControlKind::StaticText,
     u"Dictionary packer and sender",
     {40, 25, 119, 8},
     kLabel},
    {kNoControlId,
     ControlKind::StaticText,
     u"Text and StarDict dictionaries",
     {40, 39, 119, 8},
     kLabel},
    {kNoControlId, ControlKind::StaticText, u"The Lexora project", {40, 54, 119, 8}, kLabel},
};

inline constexpr ControlTemplate kPasswordChinese[] = {
    {kIdOk, ControlKind::PushButton, u"确定", {48, 53, 50, 14}, kDefButton},
    {kIdCancel, ControlKind::PushButton, u"取消", {138, 53, 50, 14}, kButton},
    {kIdAttempts,
     ControlKind::StaticText,
     u"您还可以尝试100次",
     {7, 7, 231, 12},
     kLabel | kStyleGroup},
    {kIdPassword,
     ControlKind::Edit,
     u"",
     {7, 20, 231, 13},
     kStyleVisible | kStyleBorder | kStyleTabStop | kStylePassword | kStyleAutoHScroll},
};

inline constexpr ControlTemplate kPasswordEnglish[] = {
    {kIdOk, ControlKind::PushButton, u"OK", {48, 53, 50, 14}, kDefButton},
    {kIdCancel, ControlKind::PushButton, u"Cancel", {138, 53, 50, 14}, kButton},
    {kIdAttempts,
     ControlKind::StaticText,
     u"You have 100 attemptes remaining",
     {7, 7, 231, 12},
     kLabel | kStyleGroup},
    {kIdPassword,
     ControlKind::Edit,
     u"",
     {7, 20, 231, 13},
     kStyleVisible | kStyleBorder | kStyleTabStop | kStylePassword | kStyleAutoHScroll},
};

}  // namespace templates

inline constexpr DialogTemplate kDialogTemplates[] = {
    {100,
     u"关于 Lexora",
     {0, 0, 235, 69},
     templates::kBoxStyles,
     templates::kSimSun,
     templates::kAboutChinese},
    {102,
     u"莱克索拉",
     {0, 0, 338, 93},
     templates::kMainStyles,
     templates::kSimSun,
     templates::kMainChinese},
    {103,
     u"Lexora",
     {0, 0, 338, 93},
     templates::kMainStyles,
     templates::kSimSun,
     templates::kMainEnglish},
    {104,
     u"About Lexora",
     {0, 0, 235, 69},
     templates::kBoxStyles,
     templates::kSimSun,
     templates::kAboutEnglish},
    {131,
     u"输入手机密码",
     {0, 0, 246, 74},
     templates::kBoxStyles,
     templates::kShellDlg,
     templates::kPasswordChinese},
    {132,
     u"Input Mobile Phone' Password",
     {0, 0, 246, 74},
     templates::kBoxStyles,
     templates::kShellDlg,
     templates::kPasswordEnglish},
};

// The text of the system menu's About item, 101 Chinese and 102 English.
inline constexpr StringTableEntry kStringTable[] = {
    {101, u"关于 Lexora(&A)..."},
    {102, u"About Lexora(&A)..."},
};
inline constexpr int kSystemMenuAboutCommand = 16;

// The template by number; null for a number that is none of ours.
const DialogTemplate* findDialogTemplate(int id);
// The control by id; null when the template has none (or the id is kNoControlId).
const ControlTemplate* findControl(const DialogTemplate& dialog, int id);
// The string by number; empty when there is none.
std::u16string_view loadString(int id);

// The templates for an interface language (4 Chinese, anything else English).
const DialogTemplate& mainDialogTemplate(int language);
const DialogTemplate& aboutBoxTemplate(int language);
const DialogTemplate& passwordDialogTemplate(int language);
int aboutMenuStringId(int language);

}  // namespace lexora
