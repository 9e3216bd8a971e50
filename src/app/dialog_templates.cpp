#include "app/dialog_templates.h"

#include "app/dialog_view.h"
#include "platform/ui_language.h"

namespace lexora {
namespace {
const DialogTemplate& byLanguage(const DialogLayout& layout, UiLanguage language) {
  return *findDialogTemplate(layout.id(language));
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
    if (entry.chineseId == id) return entry.text.chinese;
    if (entry.englishId == id) return entry.text.english;
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

const DialogTemplate& mainDialogTemplate(UiLanguage language) {
  return byLanguage(templates::kMainDialog, language);
}
const DialogTemplate& aboutBoxTemplate(UiLanguage language) {
  return byLanguage(templates::kAboutBox, language);
}
const DialogTemplate& passwordDialogTemplate(UiLanguage language) {
  return byLanguage(templates::kPasswordDialog, language);
}
int aboutMenuStringId(UiLanguage language) {
  const StringTableEntry& aboutItem = kStringTable[0];
  return language == UiLanguage::Chinese ? aboutItem.chineseId : aboutItem.englishId;
}

}  // namespace lexora
