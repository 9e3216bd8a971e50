#include "platform/ui_language.h"

#include <cstdlib>
#include <string_view>

namespace lexora {

UiLanguage systemUiLanguage() {
  for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* v = std::getenv(name);
    if (v && *v)
      return std::string_view(v).substr(0, 2) == "zh" ? UiLanguage::Chinese : UiLanguage::English;
  }
  return UiLanguage::English;
}

}  // namespace lexora
