#include "app/dialog_templates.h"

#include "app/dialog_view.h"
#include "platform/ui_language.h"

namespace lexora {
namespace {
const DialogTemplate& byLanguage(int language, int chinese, int english) {
  return *findDialogTemplate(language == kLanguageChinese ? chinese : english);
}
}  // namespace

const DialogTemplate* findDialogTemplate(int id) {
  for (const DialogTemplate& dialog : kDialogTemplates) {
    if (dialog.id == id) return &dialog;
  }
  return nullptr;
}

const ControlTemplate* findControl(const DialogTemplate& dialog, int id) {
  if (id == kNoControlId) return nullptr;
  for (const ControlTemplate& control : dialog.controls) {
    if (control.id == id) return &control;
  }
  return nullptr;
}

std::u16string_view loadString(int id) {
  for (const StringTableEntry& entry : kStringTable) {
    if (entry.id == id) return entry.text;
  }
  return {};
}

DialogTexts templateTexts(const DialogTemplate& dialog) {
  DialogTexts texts{std::u16string(dialog.caption), {}};
  for (const ControlTemplate& control : dialog.controls) {
    if (control.id != kNoControlId) texts.controls[control.id] = control.text;
  }
  return texts;
}

const DialogTemplate& mainDialogTemplate(int language) {
  return byLanguage(language, 102, 103);
}
const DialogTemplate& aboutBoxTemplate(int language) {
  return byLanguage(language, 100, 104);
}
const DialogTemplate& passwordDialogTemplate(int language) {
  return byLanguage(language, 131, 132);
}
int aboutMenuStringId(int language) {
  return language == kLanguageChinese ? 101 : 102;
}

}  // namespace lexora
