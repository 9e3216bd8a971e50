// Texts in both of Lexora's interface languages. Which one is shown is the interface
// language's business (platform/ui_language.h): a text is picked when it is shown.
#pragma once

#include <string_view>

namespace lexora {

// The values are the ones stored and shown: 4 is the primary language id of any Chinese,
// 9 that of English.
enum class UiLanguage { Chinese = 4, English = 9 };

// The other language: what the language button switches to.
constexpr UiLanguage otherLanguage(UiLanguage language) {
  return language == UiLanguage::Chinese ? UiLanguage::English : UiLanguage::Chinese;
}

struct BilingualText {
  std::u16string_view chinese;
  std::u16string_view english;
  constexpr std::u16string_view in(UiLanguage language) const {
    return language == UiLanguage::Chinese ? chinese : english;
  }
};

}  // namespace lexora
