// Status-line texts are composed by plain concatenation: a lead text, a path or dictionary
// name, "...", and "Success" once the step is done. The lead comes in both languages (the
// English ones end with a space, the Chinese ones do not) and the caller picks it.
#pragma once

#include <string>
#include <string_view>

#include "base/bilingual_text.h"

namespace lexora {

inline std::u16string statusText(std::u16string_view lead, std::u16string_view subject) {
  std::u16string text(lead);
  text += subject;
  text += u"...";
  return text;
}

// The word that ends a step's status once it is done.
inline constexpr BilingualText kStatusSuccess{u"成功", u"Success"};

}  // namespace lexora
