#include "sources/stardict_fields.h"

#include <cstring>

#include "base/bytes.h"
#include "base/text_codec.h"
#include "platform/ansi_code_page.h"
#include "sources/markup_text.h"
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
                 bool markupAsText, std::string& out) {
  if (field.empty()) return;
  switch (letter) {
    case u'h':
    case u'x': {
      if (!markupAsText) break;
      std::string text;
      appendValidUtf8(text, field);
      const size_t before = out.size();
      appendMarkupAsText(text, letter == u'h' ? MarkupKind::html : MarkupKind::xdxf, out);
      if (out.size() > before) out.push_back('\n');
      break;
    }
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

// How many of `bytes`, the start of longer text, decode to UTF-8 exactly as they do
// within the whole text. A byte that is not a continuation byte (10xxxxxx) always begins a
// new sequence or invalid subsequence, whatever came before; so does a continuation byte
// with three more before it, which no lead byte can reach. Cutting before such a byte
// leaves every earlier sequence decided by bytes at hand.
size_t sureUtf8Prefix(std::string_view bytes) {
  const size_t n = bytes.size();
  for (size_t back = 1; back <= 4 && back <= n; ++back) {
    if ((static_cast<unsigned char>(bytes[n - back]) & 0xC0) != 0x80) return n - back;
  }
  return n >= 4 ? n - 1 : 0;
}

// The part of a field's text that is sure although the field runs on beyond `bytes`: a
// prefix of what appendField would append for the whole field, without its closing
// bracket or LF. Whatever is unsure is left out.
void appendFieldStart(char16_t letter, std::string_view bytes, std::string& out) {
  if (bytes.empty()) return;  // the field may yet be empty, which adds nothing
  switch (letter) {
    case u'm':
    case u'y':
      appendValidUtf8(out, bytes.substr(0, sureUtf8Prefix(bytes)));
      break;
    case u't':
      out.push_back('[');
      appendValidUtf8(out, bytes.substr(0, sureUtf8Prefix(bytes)));
      break;
    case u'g': {
      std::string text;
      appendValidUtf8(text, bytes.substr(0, sureUtf8Prefix(bytes)));
      // Every '<' before the last '>' is closed by it or earlier; the first '<' after it
      // may be closed only by text not yet read, so the sure text stops there.
      const size_t lastClose = text.rfind('>');
      const size_t open = text.find('<', lastClose == text.npos ? 0 : lastClose + 1);
      if (open != text.npos) text.resize(open);
      appendWithoutTags(out, std::string_view(text));
      break;
    }
    case u'l': {
      // Code pages are decoded left to right, at most four bytes to a character, so only
      // the last characters can depend on bytes not read: eight code units cover them.
      std::u16string text;
      ansiCodePage().decode(bytes, text);
      text.resize(text.size() > 8 ? text.size() - 8 : 0);
      if (!text.empty() && (text.back() & 0xFC00) == 0xD800) text.pop_back();
      appendUtf8(out, text);
      break;
    }
    default:
      // A PowerWord or markup field is sure only when whole (a tag or reference may be cut,
      // and markup may drop all that follows); other fields add nothing.
      break;
  }
}

struct FieldWalk {
  bool sound = true;
  bool cut = false;     // a field runs on beyond the bytes at hand
  size_t cutField = 0;  // which one, by its letter's position
};

// Appends the text of the fields found in `block`. When `whole` is false, `block` is only
// the start of the block: a field that may run on beyond it (a NUL-ended field without its
// NUL, a sized field whose size reaches further) adds what is sure of it and ends the walk.
FieldWalk appendFields(std::string_view block, bool whole, std::u16string_view sametypesequence,
                       PowerWordWalkState& powerWordWalkState, bool markupAsText,
                       std::string& explanation) {
  FieldWalk walk;
  const size_t n = block.size();
  size_t cursor = 0;  // n + 1 once the block is used up (past its virtual NUL)
  for (size_t i = 0; i < sametypesequence.size(); ++i) {
    const char16_t letter = sametypesequence[i];
    if (cursor > n) {
      walk.sound = false;  // the block ended before this field
      continue;
    }
    if (letter >= u'A' && letter <= u'Z') {
      // Decision: sized fields follow the StarDict format (the last one runs to the end of
      // the block); a size that does not fit marks the block damaged and ends it here.
      if (i + 1 == sametypesequence.size()) {
        cursor = n + 1;
      } else if (n - cursor < 4 || bigEndian32(block.data() + cursor) > n - cursor - 4) {
        if (!whole) {
          walk.cut = true;
          walk.cutField = i;
          return walk;
        }
        walk.sound = false;
        cursor = n + 1;
      } else {
        cursor += 4 + bigEndian32(block.data() + cursor);
      }
      continue;
    }
    const size_t nul = block.find('\0', cursor);
    if (nul == block.npos && !whole) {
      appendFieldStart(letter, block.substr(cursor), explanation);
      walk.cut = true;
      walk.cutField = i;
      return walk;
    }
    const size_t stop = nul == block.npos ? n : nul;
    appendField(letter, block.substr(cursor, stop - cursor), powerWordWalkState, markupAsText,
                explanation);
    cursor = stop + 1;
  }
  return walk;
}

void finishExplanation(std::string& explanation) {
  normalisePhonetics(explanation);
  while (!explanation.empty() && explanation.back() == '\n') explanation.pop_back();
}

// The length of `text` once every backslash-n pair is one LF, as the reader turns them.
size_t lengthWithBackslashNJoined(std::string_view text) {
  size_t pairs = 0;
  for (size_t at = text.find("\\n"); at != text.npos; at = text.find("\\n", at + 2)) ++pairs;
  return text.size() - pairs;
}

}  // namespace

bool convertStarDictFields(std::string_view block, std::u16string_view sametypesequence,
                           PowerWordWalkState& powerWordWalkState, std::string& explanation,
                           bool markupAsText) {
  explanation.clear();
  const FieldWalk walk =
      appendFields(block, true, sametypesequence, powerWordWalkState, markupAsText, explanation);
  finishExplanation(explanation);
  return walk.sound;
}

BlockStartConversion convertStarDictFieldsStart(std::string_view start, size_t keep,
                                                std::u16string_view sametypesequence,
                                                PowerWordWalkState& powerWordWalkState,
                                                std::string& explanation, bool markupAsText) {
  explanation.clear();
  const PowerWordWalkState before = powerWordWalkState;
  const FieldWalk walk =
      appendFields(start, false, sametypesequence, powerWordWalkState, markupAsText, explanation);
  if (!walk.cut) {
    // Every field ended within the start: the rest of the block is never looked at.
    finishExplanation(explanation);
    return {BlockStartConversion::complete, walk.sound};
  }
  // What was appended is a sure prefix of the whole block's text before its final steps,
  // and ends on a whole character. The phonetic normalisation works character by character,
  // so it keeps that a prefix. The trailing LFs the whole text loses lie after its last
  // other character; up to this text's last other character both agree. Joining
  // backslash-n pairs shortens each pair to one byte and can differ only at a final
  // backslash. So when this text, cut after its last character other than LF, is still more
  // than `keep` + 1 bytes long once pairs are joined, its first `keep` + 1 bytes are sure
  // and the whole explanation is longer than `keep`.
  normalisePhonetics(explanation);
  const size_t last = explanation.find_last_not_of('\n');
  explanation.resize(last == explanation.npos ? 0 : last + 1);
  // A PowerWord field from the cut on would change the numbering later entries continue:
  // such a block is settled only whole, whatever its text.
  const bool powerWordFollows =
      sametypesequence.find(u'k', walk.cutField) != std::u16string_view::npos;
  if (!powerWordFollows && lengthWithBackslashNJoined(explanation) >= keep + 2) {
    return {BlockStartConversion::enough, true};
  }
  explanation.clear();
  powerWordWalkState = before;
  return {BlockStartConversion::needMore, true};
}

void joinBackslashN(std::string& text) {
  size_t at = text.find("\\n");
  if (at == std::string::npos) return;
  size_t out = at;
  for (size_t i = at; i < text.size();) {
    if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
      text[out++] = '\n';
      i += 2;
    } else {
      text[out++] = text[i++];
    }
  }
  text.resize(out);
}

std::u16string stripMarkupTags(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  appendWithoutTags(out, text);
  return out;
}

}  // namespace lexora
