// The field conversion: the first byte picks sametypesequence, the rest is the data block.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/text_codec.h"
#include "platform/ansi_code_page.h"
#include "sources/stardict_fields.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool chosen = lexora::chooseAnsiCodePage("CP936");
  (void)chosen;
  if (size < 1) return 0;
  static constexpr char16_t kLetters[] = u"mtgylkxWPXh";
  std::u16string types;
  for (unsigned n = 1 + (data[0] & 3), code = data[0] >> 2; n > 0; --n, code = code * 7 + 3) {
    types.push_back(kLetters[code % 11]);
  }
  const std::string_view block(reinterpret_cast<const char*>(data + 1), size - 1);
  // Markup fields (h, x) kept as text or dropped, as the input's length falls.
  const bool markupAsText = size % 2 == 1;
  lexora::PowerWordWalkState state;
  std::string explanation;
  lexora::convertStarDictFields(block, types, state, explanation, markupAsText);
  std::string again;
  lexora::appendValidUtf8(again, explanation);
  if (again != explanation) __builtin_trap();  // always valid UTF-8
  if (!explanation.empty() && explanation.back() == '\n') __builtin_trap();

  // The start of the block, cut where the first byte says, settles only what the whole
  // block gives (the reader's last steps applied to both).
  auto finished = [](std::string text) {
    std::replace(text.begin(), text.end(), '\t', ' ');
    lexora::joinBackslashN(text);
    return text;
  };
  const std::string whole = finished(explanation);
  const std::string_view start = block.substr(0, block.size() * (data[0] % 16) / 16);
  constexpr size_t kKeep = 8;
  lexora::PowerWordWalkState startState;
  std::string part;
  const auto r =
      lexora::convertStarDictFieldsStart(start, kKeep, types, startState, part, markupAsText);
  const std::string sure = finished(part);
  if (r.outcome == lexora::BlockStartConversion::complete && sure != whole) __builtin_trap();
  if (r.outcome == lexora::BlockStartConversion::enough &&
      (sure.size() < kKeep + 2 ||
       whole.compare(0, sure.size() - 1, sure, 0, sure.size() - 1) != 0)) {
    __builtin_trap();
  }
  return 0;
}
