#include "sources/dictd_text.h"

#include <array>

#include "base/text_codec.h"
#include "base/white_space.h"

namespace lexora {
namespace {

// The code point whose UTF-8 form starts at `at`, and its length in `size`. The caller
// guarantees valid UTF-8.
char32_t codePointAt(std::string_view text, size_t at, size_t& size) {
  const auto lead = static_cast<unsigned char>(text[at]);
  size = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  if (size > text.size() - at) size = text.size() - at;  // not valid after all: one byte
  if (size == 1) return lead;
  char32_t value = lead & (0x3F >> (size - 1));
  for (size_t i = 1; i < size; ++i) {
    value = (value << 6) | (static_cast<unsigned char>(text[at + i]) & 0x3F);
  }
  return value;
}

// The characters where the explanation changes: CR, TAB and the braces.
constexpr std::array<bool, 256> kSpecial = [] {
  std::array<bool, 256> special{};
  for (unsigned char c : {'\r', '\t', '{', '}'}) special[c] = true;
  return special;
}();

bool isSpecial(char c) {
  return kSpecial[static_cast<unsigned char>(c)];
}

bool isWhiteSpaceCodePoint(char32_t c) {
  return c <= 0xFFFF && isWhiteSpace(static_cast<char16_t>(c));
}

// A headword as dictd's tools compare the names of database facts: without dashes, in lower
// case ("00-database-short" is indexed as "00databaseshort" by some of them).
std::string factForm(std::string_view headword) {
  std::string form;
  for (char c : trimDictdText(headword)) {
    if (c != '-') form.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
  }
  return form;
}

}  // namespace

std::string_view trimDictdText(std::string_view text) {
  size_t size = 0;
  while (!text.empty() && isWhiteSpaceCodePoint(codePointAt(text, 0, size))) {
    text.remove_prefix(size);
  }
  while (!text.empty()) {
    size_t start = text.size() - 1;
    while (start > 0 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) --start;
    if (!isWhiteSpaceCodePoint(codePointAt(text, start, size))) break;
    text.remove_suffix(text.size() - start);
  }
  return text;
}

void appendDictdExplanation(std::string& out, std::string_view text) {
  text = trimDictdText(text);
  const size_t start = out.size();
  out.reserve(start + text.size());
  // The brace a '}' closes: only a '{' whose next brace it is. Looking ahead from each '{'
  // to the next brace only keeps the pass linear.
  bool open = false;
  bool sawCr = false;
  size_t i = 0;
  while (i < text.size()) {
    // Runs of ordinary text are copied whole.
    size_t run = i;
    while (run < text.size() && !isSpecial(text[run])) ++run;
    out.append(text.data() + i, run - i);
    if (run == text.size()) break;
    i = run + 1;
    const char c = text[run];
    switch (c) {
      case '\r':
        out.push_back(c);
        sawCr = true;
        break;
      case '\t':
        out.push_back(' ');
        break;
      case '{': {
        const size_t next = text.find_first_of("{}", i);
        open = next != std::string_view::npos && text[next] == '}';
        if (!open) out.push_back(c);
        break;
      }
      default:  // '}'
        if (!open) out.push_back(c);
        open = false;
    }
  }
  // An LF takes away every CR before it: a run of them (breaks converted twice) and those
  // that dropped braces bring next to it. Most texts have no CR, and skip this.
  if (sawCr) {
    size_t kept = start;
    for (size_t j = start; j < out.size(); ++j) {
      if (out[j] == '\n') {
        while (kept > start && out[kept - 1] == '\r') --kept;
      }
      out[kept++] = out[j];
    }
    out.resize(kept);
  }
  // Dropping braces can bare white space at an end ("{\n}" alone, say).
  trimAppendedText(out, start);
}

void trimAppendedText(std::string& out, size_t start) {
  const std::string_view added = std::string_view(out).substr(start);
  const std::string_view trimmed = trimDictdText(added);
  if (trimmed.size() != added.size()) {
    const std::string kept(trimmed);
    out.resize(start);
    out.append(kept);
  }
}

std::u16string dictdDatabaseName(std::string_view text, std::string_view headword) {
  const size_t lineEnd = text.find('\n');
  const std::string_view firstLine =
      text.substr(0, lineEnd == std::string_view::npos ? text.size() : lineEnd);
  if (factForm(firstLine) == factForm(headword)) {
    text = lineEnd == std::string_view::npos ? std::string_view() : text.substr(lineEnd + 1);
  }
  std::u16string name;
  bool space = false;
  for (char16_t c : utf8ToUtf16(trimDictdText(text))) {
    if (isWhiteSpace(c)) {
      space = true;
      continue;
    }
    if (space) name.push_back(u' ');
    space = false;
    name.push_back(c);
  }
  return name;
}

}  // namespace lexora
