#include "base/format_text.h"

#include <algorithm>

namespace lexora {

std::u16string formatText(std::u16string_view text, std::initializer_list<TextField> fields) {
  std::u16string result;
  result.reserve(text.size());
  size_t at = 0;
  while (at < text.size()) {
    const size_t open = text.find(u'{', at);
    const size_t close = open == std::u16string_view::npos ? open : text.find(u'}', open + 1);
    if (close == std::u16string_view::npos) break;
    result += text.substr(at, open - at);
    const std::u16string_view name = text.substr(open + 1, close - open - 1);
    const TextField* field = nullptr;
    for (const TextField& candidate : fields) {
      if (candidate.name == name) field = &candidate;
    }
    if (field) {
      result += field->value;
      at = close + 1;
    } else {
      // Not a field: the brace is text, and the search goes on after it.
      result += u'{';
      at = open + 1;
    }
  }
  result += text.substr(std::min(at, text.size()));
  return result;
}

}  // namespace lexora
