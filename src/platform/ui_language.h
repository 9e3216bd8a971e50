// The interface language: one process-wide value that picks every text Lexora shows.
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

// Chinese or English. The first call decides: the stored choice ("UI",
// "language": exactly "english" or "chinese"), else the system's interface language.
// The derived value is never stored. Any thread may call it.
UiLanguage GetUiLanguage();

// Sets the language for the rest of this run without storing it (the --lang option).
void setUiLanguageForRun(UiLanguage language);

// The language button: flips the language and stores the new choice. Returns the new
// language; a failed write is not reported, the new language applies all the same.
UiLanguage toggleUiLanguage();

// The system's interface language. Windows: GetUserDefaultUILanguage, whose
// primary language 4 is any Chinese. Elsewhere the first non-empty of LANGUAGE, LC_ALL,
// LC_MESSAGES, LANG; a value starting with "zh" means Chinese.
UiLanguage systemUiLanguage();

// Forgets the decision, so the next GetUiLanguage decides again (tests only).
void resetUiLanguageForTesting();

// A text in both languages; `pick` chooses by the current interface language.
struct BilingualText {
  std::u16string_view chinese;
  std::u16string_view english;
  constexpr std::u16string_view in(UiLanguage language) const {
    return language == UiLanguage::Chinese ? chinese : english;
  }
  std::u16string_view pick() const { return in(GetUiLanguage()); }
};

}  // namespace lexora
