#include "sources/stardict_fields.h"

#include <cstring>

#include "platform/ansi_code_page.h"
#include "platform/bytes.h"
#include "platform/text_codec.h"
#include "sources/powerword_xml.h"

namespace lexora {
namespace {

// Works on bytes: '<' and '>' never occur inside a multi-byte UTF-8 sequence, so this
// removes exactly what the same rule on UTF-16 text removes.
template <typename Text>
void appendWithoutTags(Text& out, std::basic_string_view<typename Text::value_type> text) {
  size_t i = 0;
  while (true) {
    const size_t open = text.find('<', i);
    const size_t close = open == text.npos ? text.npos : text.find('>', open);
    if (close == text.npos) {
      out.append(text.substr(i));
      return;
    }
    out.append(text.substr(i, open - i));
    i = close + 1;
  }
}

// The phonetic normalisation on UTF-8 text: each replaced character's UTF-8 form becomes
// its replacement's. ʌ→Λ, ə ә ɜ→ǝ, ʒ→Ʒ, Ɵ ᶿ→θ, ˌ ˏ→'.'. The text is valid UTF-8, so a
// match at a lead byte is a whole character.
void normalisePhonetics(std::string& text) {
  size_t out = 0;
  const size_t n = text.size();
  char* s = text.data();
  auto put = [&](const char* bytes, size_t count) {
    std::memcpy(s + out, bytes, count);
    out += count;
  };
  for (size_t i = 0; i < n;) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0xC6) {
      s[out++] = s[i++];
      continue;
    }
    const auto b1 = i + 1 < n ? static_cast<unsigned char>(s[i + 1]) : 0;
    if (b0 == 0xCA && b1 == 0x8C) {
      put("\xCE\x9B", 2), i += 2;  // ʌ U+028C → Λ U+039B
    } else if ((b0 == 0xC9 && (b1 == 0x99 || b1 == 0x9C)) || (b0 == 0xD3 && b1 == 0x99)) {
      put("\xC7\x9D", 2), i += 2;  // ə U+0259, ɜ U+025C, ә U+04D9 → ǝ U+01DD
    } else if (b0 == 0xCA && b1 == 0x92) {
      put("\xC6\xB7", 2), i += 2;  // ʒ U+0292 → Ʒ U+01B7
    } else if (b0 == 0xC6 && b1 == 0x9F) {
      put("\xCE\xB8", 2), i += 2;  // Ɵ U+019F → θ U+03B8
    } else if (b0 == 0xE1 && b1 == 0xB6 && i + 2 < n &&
               static_cast<unsigned char>(s[i + 2]) == 0xBF) {
      put("\xCE\xB8", 2), i += 3;  // ᶿ U+1DBF → θ U+03B8
    } else if (b0 == 0xCB && (b1 == 0x8C || b1 == 0x8F)) {
      put(".", 1), i += 2;  // ˌ U+02CC, ˏ U+02CF → '.'
    } else {
      s[out++] = s[i++];
    }
  }
  text.resize(out);
}

uint32_t bigEndian32(const char* p) {
  return readBigEndian32(reinterpret_cast<const uint8_t*>(p));
}

void appendField(char16_t letter, std::string_view field, PowerWordWalkState& state,
                 std::string& out) {
  if (field.empty()) return;
  switch (letter) {
    case u'm':
    case u'y':
      appendValidUtf8(out, field);
      out.push_back('\n');
      break;
    case u't':
      out.push_back('[');
      appendValidUtf8(out, field);
      out.append("]\n");
      break;
    case u'g': {
      std::string text;
      appendValidUtf8(text, field);
      appendWithoutTags(out, std::string_view(text));
      out.push_back('\n');
      break;
    }
    case u'l': {
      std::u16string text;
      ansiCodePage().decode(field, text);
      if (text.empty()) break;
      appendUtf8(out, text);
      out.push_back('\n');
      break;
    }
    case u'k': {
      // The result is not looked at: a field that does not parse gives an empty line.
      std::u16string text;
      convertPowerWordXml(state, utf8ToUtf16(field), text);
      appendUtf8(out, text);
      out.push_back('\n');
      break;
    }
    default:
      break;  // dropped; the user was told when the info file was read
  }
}

}  // namespace

bool convertStarDictFields(std::string_view block, std::u16string_view sametypesequence,
                           PowerWordWalkState& powerWordWalkState, std::string& explanation) {
  explanation.clear();
  const size_t n = block.size();
  size_t cursor = 0;  // n + 1 once the block is used up (past its virtual NUL)
  bool sound = true;
  for (size_t i = 0; i < sametypesequence.size(); ++i) {
    const char16_t letter = sametypesequence[i];
    if (cursor > n) {
      sound = false;  // the block ended before this field
      continue;
    }
    if (letter >= u'A' && letter <= u'Z') {
      // Decision: sized fields follow the StarDict format (the last one runs to the end of
      // the block); a size that does not fit marks the block damaged and ends it here.
      if (i + 1 == sametypesequence.size()) {
        cursor = n + 1;
      } else if (n - cursor < 4 || bigEndian32(block.data() + cursor) > n - cursor - 4) {
        sound = false;
        cursor = n + 1;
      } else {
        cursor += 4 + bigEndian32(block.data() + cursor);
      }
      continue;
    }
    const size_t nul = block.find('\0', cursor);
    const size_t stop = nul == block.npos ? n : nul;
    appendField(letter, block.substr(cursor, stop - cursor), powerWordWalkState, explanation);
    cursor = stop + 1;
  }
  normalisePhonetics(explanation);
  while (!explanation.empty() && explanation.back() == '\n') explanation.pop_back();
  return sound;
}

std::u16string stripMarkupTags(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  appendWithoutTags(out, text);
  return out;
}

}  // namespace lexora
