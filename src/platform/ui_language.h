// The interface language: one process-wide value that picks every text Lexora shows.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "base/bilingual_text.h"
#include "base/format_text.h"

namespace lexora {

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

// `text` in the current interface language.
inline std::u16string_view pick(const BilingualText& text) {
  return text.in(GetUiLanguage());
}

// `text` in the current interface language with its {name} fields filled in.
inline std::u16string formatText(const BilingualText& text,
                                 std::initializer_list<TextField> fields) {
  return formatText(pick(text), fields);
}

}  // namespace lexora
