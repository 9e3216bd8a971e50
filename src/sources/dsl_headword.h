// A DSL headword line: the text shown for it and the keys it is found under. Text in `{…}`
// is shown but is not part of a key; an optional part in `(…)` gives the headword with it
// and without it; backslash escapes give their character.
#pragma once

#include <string>
#include <string_view>

namespace lexora {

struct DslHeadword {
  // Each form's shown text and its key text (not yet lower-cased). `full` keeps the
  // optional parts, `shortForm` leaves them out; hasOptional says whether they differ.
  std::u16string fullShown, fullKey, shortShown, shortKey;
  bool hasOptional = false;
};

// `line` is the headword line without its line break; `{{comments}}` already removed.
void parseDslHeadword(std::u16string_view line, DslHeadword& out);

}  // namespace lexora
