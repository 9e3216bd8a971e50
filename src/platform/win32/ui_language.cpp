#include "platform/ui_language.h"

#include <windows.h>

namespace lexora {

UiLanguage systemUiLanguage() {
  // The primary language is the low 10 bits; LANG_CHINESE covers every Chinese variant.
  return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_CHINESE ? UiLanguage::Chinese
                                                                   : UiLanguage::English;
}

}  // namespace lexora
