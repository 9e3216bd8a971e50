// Status-line texts are composed by plain concatenation: a lead text, a path or dictionary
// name, "...", and "Success" once the step is done. The lead comes in both languages (the
// English ones end with a space, the Chinese ones do not) and is picked when composed.
#pragma once

#include <string>
#include <string_view>

#include "platform/ui_language.h"

namespace lexora {

inline std::u16string statusText(const BilingualText& lead, std::u16string_view subject) {
  std::u16string text(lead.pick());
  text += subject;
  text += u"...";
  return text;
}

// The word that ends a step's status once it is done.
inline std::u16string_view statusSuccess() {
  return BilingualText{u"成功", u"Success"}.pick();
}

}  // namespace lexora
