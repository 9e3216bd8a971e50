// The interface language: one process-wide value that picks every text Lexora shows.
#pragma once

#include <string_view>

namespace lexora {

inline constexpr int kLanguageUndecided = 0xFFFF;
inline constexpr int kLanguageChinese = 4;
inline constexpr int kLanguageEnglish = 9;

// 4 (Chinese) or 9 (English). The first call decides: the stored choice ("UI",
// "language": exactly "english" or "chinese"), else the system's interface language.
// The derived value is never stored. Any thread may call it.
int GetUiLanguage();

// Sets the language for the rest of this run without storing it (the --lang option).
void setUiLanguageForRun(int language);

// The language button: flips the language and stores the new choice. Returns the new
// language; a failed write is not reported, the new language applies all the same.
int toggleUiLanguage();

// The system's interface language as 4 or 9. Windows: GetUserDefaultUILanguage, whose
// primary language 4 is any Chinese. Elsewhere the first non-empty of LANGUAGE, LC_ALL,
// LC_MESSAGES, LANG; a value starting with "zh" means Chinese.
int systemUiLanguage();

// Forgets the decision, so the next GetUiLanguage decides again (tests only).
void resetUiLanguageForTesting();

// A text in both languages; `pick` chooses by the current interface language.
struct BilingualText {
  std::u16string_view chinese;
  std::u16string_view english;
  std::u16string_view pick() const {
    return GetUiLanguage() == kLanguageChinese ? chinese : english;
  }
};

}  // namespace lexora
